# Full installation: a basic client stand-in is removed first by its removal
# script, then the small fixture package is installed by Windows Installer.
heading "full client installation"
appdata=$(wine_run cmd /c echo %APPDATA%)
localappdata=$(wine_run cmd /c echo %LOCALAPPDATA%)
wine_run cmd /c mkdir "$appdata\\KuvClient\\Bin" >/dev/null 2>&1 || true
wine_run cmd /c "echo stand-in> \"$appdata\\KuvClient\\Bin\\Varnel.exe\"" >/dev/null 2>&1
wine_run cmd /c "echo rmdir /s /q \"$appdata\\KuvClient\\Bin\"> \"$appdata\\KuvClient\\Bin\\RemoveBasicClient.bat\"" >/dev/null 2>&1
row "(basic client stand-in with its removal script)" "$appdata\\KuvClient\\Bin"
package=$(winpath "$bin/fixtures/full-client/full-client.msi")
show InstallFullClient "$package"
sleep 2
row "(basic client folder afterwards)" "$(wine_run cmd /c "if exist \"$appdata\\KuvClient\\Bin\" (echo still there) else (echo removed)")"
row "(file the package installed)" "$(wine_run cmd /c type "$localappdata\\GantryFullClientFixture\\installed.txt")"
