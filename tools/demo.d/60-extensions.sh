# Extension restoration: a record as the client program leaves it when it
# takes ".gdemo" over, restored by UnregisterExtensions.
heading "file-extension restoration"
# key_state KEY: "kept" when the key exists, "gone" otherwise
key_state() { wine_run reg query "$1" 2>/dev/null | grep -qi '^HKEY' && echo kept || echo gone; }
wine_run reg add 'HKCU\Software\Kuv\FileExts\.gdemo' /v FarmID /t REG_DWORD /d 5 /f >/dev/null 2>&1
wine_run reg add 'HKCU\Software\Kuv\FileExts\.gdemo' /v TavikBackupShortCut /d gdemofile /f >/dev/null 2>&1
wine_run reg add 'HKCU\Software\Kuv\FileExts\.gdemo' /v TavikBackupProgid /d gdemo.progid /f >/dev/null 2>&1
wine_run reg add 'HKCU\Software\Kuv\FileExts\.gdemo' /v TavikBackupApplication /d notepad.exe /f >/dev/null 2>&1
wine_run reg add 'HKCU\Software\Classes\.gdemo' /ve /d TAVIKShortCut.gdemo /f >/dev/null 2>&1
wine_run reg add 'HKCU\Software\Classes\TAVIKShortCut.gdemo\shell\open\command' /ve /d 'Varnel.exe %1' /f >/dev/null 2>&1
explorer='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts\.gdemo'
wine_run reg add "$explorer" /v Progid /d TAVIKShortCut.gdemo /f >/dev/null 2>&1
wine_run reg add "$explorer" /v Application /d Varnel.exe /f >/dev/null 2>&1
row "(record for .gdemo, farm 5)" "class .gdemo -> TAVIKShortCut.gdemo"
show UnregisterExtensions 7
row "(record after farm 7)" "$(key_state 'HKCU\Software\Kuv\FileExts\.gdemo')"
show UnregisterExtensions 5
row "(record after farm 5)" "$(key_state 'HKCU\Software\Kuv\FileExts\.gdemo')"
row "(class .gdemo default)" "$(wine_run reg query 'HKCU\Software\Classes\.gdemo' /ve 2>/dev/null | grep -o 'REG_SZ.*' | sed 's/REG_SZ *//')"
row "(Explorer Progid / Application)" "$(wine_run reg query "$explorer" 2>/dev/null | grep -E 'Progid|Application' | awk '{print $1"="$3}' | tr '\n' ' ')"
row "(TAVIKShortCut.gdemo class key)" "$(key_state 'HKCU\Software\Classes\TAVIKShortCut.gdemo')"
