' Drives the running controller through late binding, as a script client does.
Set lumoCode = CreateObject("ZEZIZER.LumoCode")
Set otherLumoCode = CreateObject("ZEZIZER.LumoCode")
WScript.Echo "new " & lumoCode.DisplayCode
lumoCode.DisplayCode = 3
WScript.Echo "put " & lumoCode.DisplayCode & " " & otherLumoCode.DisplayCode
lumoCode.SendCode 2
WScript.Echo "sent " & lumoCode.DisplayCode
lumoCode.TestDialog
WScript.Echo "done"
