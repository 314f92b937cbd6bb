# Switches the glasses to stereo, reversed eye order: powershell -File stereo-reverse.ps1
$glasses = New-Object -ComObject ZEZIZER.LumoCode
$glasses.SendCode(2)
