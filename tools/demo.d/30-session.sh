# Session start and session control: a session started on the test client
# (which logs the command line it was given), then questions and commands to
# a test client showing two client windows.
heading "session start"
session_log="$GANTRY_WINE_ROOT/session-command-lines.log"
rm -f "$session_log"
client=$(winpath "$bin/varnel-10.1-build1238.exe")
wine_run reg add 'HKLM\Software\Classes\.kuva' /ve /d Varnel.Document /f >/dev/null 2>&1
wine_run reg add 'HKLM\Software\Classes\Varnel.Document\shell\open\command' /ve /d "\"$client\" \"%1\"" /f >/dev/null 2>&1
row "StartSession \"[connection]...\" demo-session.kuva" \
  "$(GANTRY_CLIENT_LOG=$(winpath "$session_log") cli StartSession "[connection] host=farm.example" demo-session.kuva)"
for _ in 1 2 3 4 5 6 7 8 9 10; do [ -s "$session_log" ] && break; sleep 0.5; done
row "  the client's command line" "$(tr -d '\r' < "$session_log" 2>/dev/null)"
show StartSession "refused" "..\\..\\Roaming\\x.bat"
show StartSession "refused" "C:\\x.bat"

heading "session control (a test client with two windows: 6->0/12->1, 6->1/12->0)"
message_log="$GANTRY_WINE_ROOT/session-messages.log"
rm -f "$message_log"
show IsAnySession
(cd "$bin" && exec "$root/tools/wine/wine-run.sh" varnel-10.1-build1238.exe --window 0,1 --window 1,0 \
  --log "$(winpath "$message_log")" --limit-ms 30000 >/dev/null 2>&1) &
client_pid=$!
for _ in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20; do [ "$(cli IsAnySession)" = true ] && break; sleep 0.5; done
show IsAnySession
show IsAnyNativeDesktopSessions
show IsFarmSessions 7
show GetDesktopState 7
show LogOffFarmSessions -1
show DisconnectAllSessions
sleep 1
tr -d '\r' < "$message_log" | while IFS= read -r line; do row "  the client received" "$line"; done
kill "$client_pid" 2>/dev/null || true
wait "$client_pid" 2>/dev/null || true
