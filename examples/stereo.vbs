' Switches the glasses to stereo, normal eye order: cscript //nologo stereo.vbs
Set glasses = CreateObject("ZEZIZER.LumoCode")
glasses.SendCode 1
