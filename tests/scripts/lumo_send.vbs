' Sends each command number given on the command line through SendCode and says "sent N" after
' each.
Set lumoCode = CreateObject("ZEZIZER.LumoCode")
For i = 0 To WScript.Arguments.Count - 1
    lumoCode.SendCode CInt(WScript.Arguments(i))
    WScript.Echo "sent " & WScript.Arguments(i)
Next
