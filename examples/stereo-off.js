// Switches the glasses' stereo off: cscript //nologo stereo-off.js
var glasses = new ActiveXObject("ZEZIZER.LumoCode");
glasses.SendCode(1000);
