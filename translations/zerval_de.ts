<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Errors</name>
    <message>
        <source>ungültige IP</source>
        <translation>ungültige IP</translation>
    </message>
    <message>
        <source>ungültiger Host</source>
        <translation>ungültiger Host</translation>
    </message>
    <message>
        <source>Cannot open file</source>
        <translation>Datei kann nicht geöffnet werden:</translation>
    </message>
    <message>
        <source>Cannot read file</source>
        <translation>Datei kann nicht gelesen werden:</translation>
    </message>
    <message>
        <source>Cannot create file</source>
        <translation>Datei kann nicht angelegt werden:</translation>
    </message>
    <message>
        <source>Cannot write file</source>
        <translation>Datei kann nicht geschrieben werden:</translation>
    </message>
    <message>
        <source>Invalid server list file</source>
        <translation>Ungültige Serverliste:</translation>
    </message>
    <message>
        <source>Host nicht gefunden:</source>
        <translation>Host nicht gefunden:</translation>
    </message>
    <message>
        <source>Es läuft bereits eine Abfrage!</source>
        <translation>Es läuft bereits eine Abfrage!</translation>
    </message>
    <message>
        <source>TPlayerInfo: Zugriff hinter dem Array</source>
        <translation>Statusliste: Zugriff hinter ihr Ende</translation>
    </message>
    <message>
        <source>Rcon-Befehle werden nicht an eine Broadcast-Adresse gesendet!</source>
        <translation>Rcon-Befehle werden nicht an eine Broadcast-Adresse gesendet!</translation>
    </message>
    <message>
        <source>Unbekannter Fehler</source>
        <translation>Unbekannter Fehler</translation>
    </message>
</context>
<context>
    <name>OperatorDialogs</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
    <message>
        <source>&amp;Discard</source>
        <translation>&amp;Verwerfen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>&amp;Ja</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>&amp;Nein</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
</context>
<context>
    <name>OverviewModel</name>
    <message numerus="yes">
        <source>(%n bots)</source>
        <translation>
            <numerusform>(%n Bot)</numerusform>
            <numerusform>(%n Bots)</numerusform>
        </translation>
    </message>
    <message>
        <source>up</source>
        <translation>online</translation>
    </message>
    <message>
        <source>down</source>
        <translation>offline</translation>
    </message>
    <message>
        <source>not asked yet</source>
        <translation>ungefragt</translation>
    </message>
    <message>
        <source>State</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Server name</source>
        <translation>Servername</translation>
    </message>
    <message>
        <source>Map</source>
        <translation>Karte</translation>
    </message>
    <message>
        <source>Players</source>
        <translation>Spieler</translation>
    </message>
    <message>
        <source>Ping ms</source>
        <translation>Ping ms</translation>
    </message>
    <message>
        <source>Protocol</source>
        <translation>Protokoll</translation>
    </message>
    <message>
        <source>Console</source>
        <translation>Konsole</translation>
    </message>
    <message>
        <source>Since</source>
        <translation>Seit</translation>
    </message>
    <message>
        <source>Last hour</source>
        <translation>Letzte Stunde</translation>
    </message>
</context>
<context>
    <name>SparklineDelegate</name>
    <message>
        <source>%1: no answer</source>
        <translation>%1: keine Antwort</translation>
    </message>
    <message>
        <source>%1: %2/%3 players, %4 ms</source>
        <translation>%1: %2/%3 Spieler, %4 ms</translation>
    </message>
</context>
<context>
    <name>Tfrm_main</name>
    <message>
        <source>[Ältere Zeilen verworfen]</source>
        <translation>[Ältere Zeilen verworfen]</translation>
    </message>
    <message>
        <source>Clear Log</source>
        <translation>Log leeren</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>Wiederherstellen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>%1 nicht gefunden</source>
        <translation>%1 nicht gefunden</translation>
    </message>
    <message>
        <source>Die Serverliste wurde geändert. Änderungen speichern?</source>
        <translation>Die Serverliste wurde geändert. Änderungen speichern?</translation>
    </message>
    <message>
        <source> hide &amp;Debuginfos</source>
        <translation> &amp;Debuginfos ausblenden</translation>
    </message>
    <message>
        <source>show &amp;Debuginfos</source>
        <translation>&amp;Debuginfos zeigen</translation>
    </message>
    <message>
        <source>Ziel nicht erreichbar!</source>
        <translation>Ziel nicht erreichbar!</translation>
    </message>
    <message>
        <source>Antworten kamen von einer anderen Adresse: %1</source>
        <translation>Antworten kamen von einer anderen Adresse: %1</translation>
    </message>
    <message>
        <source>Kein Server gewählt!!!</source>
        <translation>Kein Server gewählt!</translation>
    </message>
    <message>
        <source>Kein Rcon password angegeben!</source>
        <translation>Kein Rcon-Passwort angegeben!</translation>
    </message>
    <message>
        <source>Kein Rcon-Passwort für diesen Server gesetzt.</source>
        <translation>Kein Rcon-Passwort für diesen Server gesetzt.</translation>
    </message>
    <message>
        <source>Keine Rcon-Befehle an eine Broadcast-Adresse! Nichts gesendet.</source>
        <translation>Keine Rcon-Befehle an eine Broadcast-Adresse! Nichts gesendet.</translation>
    </message>
    <message>
        <source>Kein Spieler gewählt!</source>
        <translation>Kein Spieler gewählt!</translation>
    </message>
    <message>
        <source>Spieler nicht in der Statusliste gefunden!</source>
        <translation>Spieler nicht in der Statusliste gefunden!</translation>
    </message>
    <message>
        <source>Kick</source>
        <translation>Kicken</translation>
    </message>
    <message>
        <source>Ban 1min</source>
        <translation>Sperren 1 Min.</translation>
    </message>
    <message>
        <source>Ban 2min</source>
        <translation>Sperren 2 Min.</translation>
    </message>
    <message>
        <source>Ban 5min</source>
        <translation>Sperren 5 Min.</translation>
    </message>
    <message>
        <source>Ban 10min</source>
        <translation>Sperren 10 Min.</translation>
    </message>
    <message>
        <source>Ban permanent</source>
        <translation>Dauerhaft sperren</translation>
    </message>
    <message>
        <source>Interner Error 112</source>
        <translation>Interner Fehler 112</translation>
    </message>
    <message>
        <source>Keine eigene IP-Adresse gefunden! Der Chat kann nicht starten.</source>
        <translation>Keine eigene IP-Adresse gefunden! Der Chat kann nicht starten.</translation>
    </message>
    <message>
        <source>Zerval Serverlist [*.zsl]|*.zsl|All Files [*.*]|*.*</source>
        <translation>Zerval-Serverliste [*.zsl]|*.zsl|Alle Dateien [*.*]|*.*</translation>
    </message>
    <message>
        <source>Kein Servername eingegeben!!!</source>
        <translation>Kein Servername eingegeben!</translation>
    </message>
    <message>
        <source>Kein Server IP eingegeben!!!</source>
        <translation>Keine Server-IP eingegeben!</translation>
    </message>
    <message>
        <source>Open Serverlist</source>
        <translation>Serverliste öffnen</translation>
    </message>
    <message>
        <source>Save Serverlist</source>
        <translation>Serverliste speichern</translation>
    </message>
    <message>
        <source>kein Server gewählt</source>
        <translation>kein Server gewählt</translation>
    </message>
    <message>
        <source>Nick</source>
        <translation>Nick</translation>
    </message>
    <message>
        <source>ID</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>WonID</source>
        <translation>WonID</translation>
    </message>
    <message>
        <source>frags</source>
        <translation>Frags</translation>
    </message>
    <message>
        <source>ping</source>
        <translation>Ping</translation>
    </message>
    <message>
        <source>loss</source>
        <translation>Verlust</translation>
    </message>
    <message>
        <source>time</source>
        <translation>Zeit</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>%1ms</source>
        <translation>%1 ms</translation>
    </message>
    <message>
        <source>WonID / IP</source>
        <translation>WonID / IP</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Zeit</translation>
    </message>
    <message>
        <source>Rule</source>
        <translation>Regel</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Wert</translation>
    </message>
    <message>
        <source>Bytes Send: %1 / Bytes Recieved: %2</source>
        <translation>Bytes gesendet: %1 / Bytes empfangen: %2</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nein</translation>
    </message>
    <message>
        <source>Dedicated / Linux</source>
        <translation>Dediziert / Linux</translation>
    </message>
    <message>
        <source>Linsten / Linux</source>
        <translation>Listen / Linux</translation>
    </message>
    <message>
        <source>Dedicated / Windows</source>
        <translation>Dediziert / Windows</translation>
    </message>
    <message>
        <source>Linsten / Windows</source>
        <translation>Listen / Windows</translation>
    </message>
    <message>
        <source>Server Name</source>
        <translation>Servername</translation>
    </message>
    <message>
        <source>Server IP</source>
        <translation>Server-IP</translation>
    </message>
    <message>
        <source>Game</source>
        <translation>Spiel</translation>
    </message>
    <message>
        <source>running Map</source>
        <translation>Aktuelle Karte</translation>
    </message>
    <message>
        <source>Player connected / max</source>
        <translation>Spieler verbunden / max.</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Server Type / OS</source>
        <translation>Servertyp / System</translation>
    </message>
    <message>
        <source>Mod URL / Download URL</source>
        <translation>Mod-URL / Download-URL</translation>
    </message>
    <message>
        <source>Mod Size</source>
        <translation>Mod-Größe</translation>
    </message>
    <message>
        <source>Mod Version</source>
        <translation>Mod-Version</translation>
    </message>
    <message>
        <source>&quot;Serveronly&quot; Mod</source>
        <translation>Nur-Server-Mod</translation>
    </message>
    <message>
        <source>Clientside Mod</source>
        <translation>Clientseitige Mod</translation>
    </message>
    <message>
        <source>Bots</source>
        <translation>Bots</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>VAC</source>
        <translation>VAC</translation>
    </message>
    <message>
        <source>Keywords</source>
        <translation>Schlüsselwörter</translation>
    </message>
    <message>
        <source>Rcon-Befehl nicht gesendet: länger als %1 Bytes!</source>
        <translation>Rcon-Befehl nicht gesendet: länger als %1 Bytes!</translation>
    </message>
    <message>
        <source>%1 antwortet nicht mehr</source>
        <translation>%1 antwortet nicht mehr</translation>
    </message>
    <message>
        <source>%1 antwortet wieder</source>
        <translation>%1 antwortet wieder</translation>
    </message>
    <message>
        <source>%1 ist voll (%2/%3)</source>
        <translation>%1 ist voll (%2/%3)</translation>
    </message>
    <message>
        <source>%1 up, %2 down</source>
        <translation>%1 online, %2 offline</translation>
    </message>
    <message>
        <source>Übersicht: %1</source>
        <translation>Übersicht: %1</translation>
    </message>
</context>
<context>
    <name>ZervalApplication</name>
    <message>
        <source>Zerval läuft bereits!!!
Soll eine weitere Instanz geöffnen werden?
(Dies kann zu Problemen führen)</source>
        <translation>Zerval läuft bereits!
Soll eine weitere Instanz geöffnet werden?
(Dies kann zu Problemen führen)</translation>
    </message>
</context>
<context>
    <name>frm_main</name>
    <message>
        <source>Select Server</source>
        <translation>Server wählen</translation>
    </message>
    <message>
        <source>kein Server gewählt</source>
        <translation>kein Server gewählt</translation>
    </message>
    <message>
        <source>&amp;Rcon Control</source>
        <translation>&amp;Rcon-Kontrolle</translation>
    </message>
    <message>
        <source>Auto &amp;Query every</source>
        <translation>&amp;Auto-Abfrage alle</translation>
    </message>
    <message>
        <source>seconds</source>
        <translation>Sekunden</translation>
    </message>
    <message>
        <source>Server</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>Players</source>
        <translation>Spieler</translation>
    </message>
    <message>
        <source>Rules</source>
        <translation>Regeln</translation>
    </message>
    <message>
        <source>Admin</source>
        <translation>Admin</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>show &amp;Debuginfos</source>
        <translation>&amp;Debuginfos zeigen</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Übersicht</source>
        <translation>Übersicht</translation>
    </message>
</context>
<context>
    <name>frm_query</name>
    <message>
        <source>Please Wait...</source>
        <translation>Bitte warten …</translation>
    </message>
    <message>
        <source>Wait for reply..... Please Wait</source>
        <translation>Warte auf Antwort … Bitte warten</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>tb_about</name>
    <message>
        <source>Fehler, Kritik und Vorschläge bitte per E-Mail an zerval@example.org</source>
        <translation>Fehler, Kritik und Vorschläge bitte per E-Mail an zerval@example.org</translation>
    </message>
    <message>
        <source>Keine Haftung für evtl Schäden, die durch dies Programm enstanden sind. Ich gebe keine Garantie, dass das Programm fehlerfrei ist!!!!!</source>
        <translation>Keine Haftung für eventuelle Schäden, die durch dieses Programm entstanden sind. Ich gebe keine Garantie, dass das Programm fehlerfrei ist!</translation>
    </message>
</context>
<context>
    <name>tb_admin</name>
    <message>
        <source>RCon &amp;Command: (ohne rcon eingeben!)</source>
        <translation>Rcon-&amp;Befehl: (ohne „rcon“ eingeben!)</translation>
    </message>
    <message>
        <source>Send rcon-command</source>
        <translation>Rcon-Befehl senden</translation>
    </message>
    <message>
        <source>&amp;Send</source>
        <translation>&amp;Senden</translation>
    </message>
    <message>
        <source>C&amp;hat</source>
        <translation>&amp;Chat</translation>
    </message>
    <message>
        <source>Clear &amp;Log </source>
        <translation>&amp;Log leeren </translation>
    </message>
</context>
<context>
    <name>tb_options</name>
    <message>
        <source>Server</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>&amp;Name: </source>
        <translation>&amp;Name: </translation>
    </message>
    <message>
        <source>&amp;IP:</source>
        <translation>&amp;IP:</translation>
    </message>
    <message>
        <source>rcon pass&amp;word:</source>
        <translation>R&amp;con-Passwort:</translation>
    </message>
    <message>
        <source>&amp;Add</source>
        <translation>&amp;Hinzu</translation>
    </message>
    <message>
        <source>&amp;Modify</source>
        <translation>&amp;Ändern</translation>
    </message>
    <message>
        <source>R&amp;emove</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>&amp;Server:</source>
        <translation>&amp;Server:</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>Ping</source>
        <translation>Ping</translation>
    </message>
    <message>
        <source>Sa&amp;ve Serverlist </source>
        <translation>Ser&amp;verliste speichern </translation>
    </message>
    <message>
        <source>L&amp;oad Serverlist</source>
        <translation>Serverliste &amp;laden</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>&amp;Timeout</source>
        <translation>&amp;Wartezeit</translation>
    </message>
    <message>
        <source>Proto&amp;col</source>
        <translation>&amp;Protokoll</translation>
    </message>
    <message>
        <source>Classic</source>
        <translation>Klassisch</translation>
    </message>
    <message>
        <source>Steam (A2S)</source>
        <translation>Steam (A2S)</translation>
    </message>
    <message>
        <source>S&amp;how in ComboBox</source>
        <translation>An&amp;zeige in der Auswahl</translation>
    </message>
    <message>
        <source>Servername</source>
        <translation>Servername</translation>
    </message>
    <message>
        <source>Standard Server&amp;list</source>
        <translation>S&amp;tandard-Serverliste</translation>
    </message>
    <message>
        <source>Load on Start&amp;up</source>
        <translation>&amp;Beim Start laden</translation>
    </message>
    <message>
        <source>Quer&amp;y Server                  on Startup</source>
        <translation>Ab&amp;frage                  beim Start</translation>
    </message>
    <message>
        <source>Select your IP</source>
        <translation>Eigene IP wählen</translation>
    </message>
    <message>
        <source>Ena&amp;ble Trayicon</source>
        <translation>S&amp;ymbol im Infobereich</translation>
    </message>
    <message>
        <source>Save O&amp;ptions</source>
        <translation>&amp;Optionen speichern</translation>
    </message>
    <message>
        <source>Protocol</source>
        <translation>Protokoll</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Automatisch</translation>
    </message>
</context>
<context>
    <name>ts_overview</name>
    <message>
        <source>&amp;Watch</source>
        <translation>&amp;Beobachten</translation>
    </message>
    <message>
        <source>&amp;every</source>
        <translation>a&amp;lle</translation>
    </message>
    <message>
        <source>seconds</source>
        <translation>Sekunden</translation>
    </message>
    <message>
        <source>Refresh &amp;now</source>
        <translation>&amp;Jetzt abfragen</translation>
    </message>
    <message>
        <source>Noti&amp;fy</source>
        <translation>&amp;Melden</translation>
    </message>
</context>
<context>
    <name>ts_players</name>
    <message>
        <source>&amp;Player</source>
        <translation>&amp;Spieler</translation>
    </message>
    <message>
        <source>Re&amp;fresh</source>
        <translation>A&amp;ktualisieren</translation>
    </message>
    <message>
        <source>Nick</source>
        <translation>Nick</translation>
    </message>
    <message>
        <source>Frags</source>
        <translation>Frags</translation>
    </message>
    <message>
        <source>Player Details</source>
        <translation>Spielerdetails</translation>
    </message>
    <message>
        <source>Banned ID/IPs</source>
        <translation>Gesperrte IDs/IPs</translation>
    </message>
</context>
</TS>
