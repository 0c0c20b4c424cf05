# Client discovery: the library's version, the user's client folder, and the
# client's state before and after a test client is associated with ".kuva".
heading "library and client discovery"
show GetNativeVersion
show GetUserKuvFolder
show IsKuvClientInstalled
row "GetKuvClientVersion" "\"$(cli GetKuvClientVersion)\""
client=$(winpath "$bin/varnel-10.1-build1238.exe")
wine_run reg add 'HKLM\Software\Classes\.kuva' /ve /d Varnel.Document /f >/dev/null 2>&1
wine_run reg add 'HKLM\Software\Classes\Varnel.Document\shell\open\command' /ve /d "\"$client\" \"%1\"" /f >/dev/null 2>&1
row "(associate .kuva with the test client, quoted path)" "$client"
show IsKuvClientInstalled
row "GetKuvClientVersion" "\"$(cli GetKuvClientVersion)\""
