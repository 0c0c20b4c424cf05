# The basic client: install it per user from the normal test package, show
# what landed and what was registered, schedule its clean-up, run its removal
# script and show that everything is gone.
heading "basic client"
wine_run reg delete 'HKLM\Software\Classes\.kuva' /f >/dev/null 2>&1 || true
package=$(winpath "$bin/fixtures/basic-client/client.msi")
show InstallBasicClient "$package"
basic=$(cli GetUserKuvFolder)Bin
row "(files in $basic)" "$(wine_run cmd /c dir /s /b "$basic" | sed "s|.*\\\\Bin\\\\||" | tr '\n' ' ')"
for key in '.kuva' 'Varnel.Document\shell\open\command' 'tavikclient\shell\open\command'; do
  row "HKCU\\Software\\Classes\\$key" "$(wine_run reg query "HKCU\\Software\\Classes\\$key" /ve | grep REG_SZ | sed 's/.*REG_SZ *//')"
done
show CleanBasicClientOnRestart
row "(RunOnce ClearKuvBasicClient)" "$(wine_run reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\RunOnce' /v ClearKuvBasicClient | grep REG_SZ | sed 's/.*REG_SZ *//')"
# As the logon does: the script runs where it lies, in B. Wine's cmd cannot
# remove the folder of the script it runs (Windows' can), so B stays, empty.
wine_run cmd /c "$basic\\RemoveBasicClient.bat" >/dev/null 2>&1 || true
row "(removal script run by cmd)" "done"
row "(entries left in the basic client folder)" "$(find "$GANTRY_WINE_ROOT/$GANTRY_WINE_PREFIX/drive_c/users" -path '*/KuvClient/Bin/*' | wc -l)"
# wine_run's pipe hides the exit status; ask reg itself.
reg_has() { (cd "$bin" && "$root/tools/wine/wine-run.sh" reg query "$@" >/dev/null 2>&1); }
remaining=0
for key in '.kuva' 'Varnel.Document' 'tavikclient' 'MIME\Database\Content Type\application/x-kuva'; do
  reg_has "HKCU\\Software\\Classes\\$key" && remaining=$((remaining + 1))
done
row "(registration keys left)" "$remaining"
row "(RunOnce value left)" "$(reg_has 'HKCU\Software\Microsoft\Windows\CurrentVersion\RunOnce' /v ClearKuvBasicClient && echo yes || echo no)"
row "(TavikClientSystem.dll unregistered, its mark)" "$(wine_run reg query 'HKCU\Software\GantryTest\TavikClientSystem' /v Unregistered 2>/dev/null | grep REG_SZ | sed 's/.*REG_SZ *//')"
