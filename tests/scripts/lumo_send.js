// Sends each command number given on the command line through SendCode and says "sent N" after
// each.
var lumoCode = new ActiveXObject("ZEZIZER.LumoCode");
for (var i = 0; i < WScript.Arguments.length; i++) {
    lumoCode.SendCode(parseInt(WScript.Arguments(i), 10));
    WScript.Echo("sent " + WScript.Arguments(i));
}
