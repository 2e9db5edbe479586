<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>Errors</name>
    <message>
        <source>ungültige IP</source>
        <translation>invalid IP</translation>
    </message>
    <message>
        <source>ungültiger Host</source>
        <translation>invalid host</translation>
    </message>
    <message>
        <source>Cannot open file</source>
        <translation>Cannot open file</translation>
    </message>
    <message>
        <source>Cannot read file</source>
        <translation>Cannot read file</translation>
    </message>
    <message>
        <source>Cannot create file</source>
        <translation>Cannot create file</translation>
    </message>
    <message>
        <source>Cannot write file</source>
        <translation>Cannot write file</translation>
    </message>
    <message>
        <source>Invalid server list file</source>
        <translation>Invalid server list file</translation>
    </message>
    <message>
        <source>Host nicht gefunden:</source>
        <translation>Host not found:</translation>
    </message>
    <message>
        <source>Es läuft bereits eine Abfrage!</source>
        <translation>A query is already running!</translation>
    </message>
    <message>
        <source>TPlayerInfo: Zugriff hinter dem Array</source>
        <translation>Status listing: access beyond its end</translation>
    </message>
    <message>
        <source>Rcon-Befehle werden nicht an eine Broadcast-Adresse gesendet!</source>
        <translation>Console commands are never sent to a broadcast address!</translation>
    </message>
    <message>
        <source>Unbekannter Fehler</source>
        <translation>Unknown error</translation>
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
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>&amp;Discard</source>
        <translation>&amp;Discard</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>&amp;No</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
</context>
<context>
    <name>OverviewModel</name>
    <message numerus="yes">
        <source>(%n bots)</source>
        <translation>
            <numerusform>(%n bot)</numerusform>
            <numerusform>(%n bots)</numerusform>
        </translation>
    </message>
    <message>
        <source>up</source>
        <translation>up</translation>
    </message>
    <message>
        <source>down</source>
        <translation>down</translation>
    </message>
    <message>
        <source>not asked yet</source>
        <translation>not asked yet</translation>
    </message>
    <message>
        <source>State</source>
        <translation>State</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Server name</source>
        <translation>Server name</translation>
    </message>
    <message>
        <source>Map</source>
        <translation>Map</translation>
    </message>
    <message>
        <source>Players</source>
        <translation>Players</translation>
    </message>
    <message>
        <source>Ping ms</source>
        <translation>Ping ms</translation>
    </message>
    <message>
        <source>Protocol</source>
        <translation>Protocol</translation>
    </message>
    <message>
        <source>Console</source>
        <translation>Console</translation>
    </message>
    <message>
        <source>Since</source>
        <translation>Since</translation>
    </message>
    <message>
        <source>Last hour</source>
        <translation>Last hour</translation>
    </message>
</context>
<context>
    <name>SparklineDelegate</name>
    <message>
        <source>%1: no answer</source>
        <translation>%1: no answer</translation>
    </message>
    <message>
        <source>%1: %2/%3 players, %4 ms</source>
        <translation>%1: %2/%3 players, %4 ms</translation>
    </message>
</context>
<context>
    <name>Tfrm_main</name>
    <message>
        <source>[Ältere Zeilen verworfen]</source>
        <translation>[Older lines were dropped]</translation>
    </message>
    <message>
        <source>Clear Log</source>
        <translation>Clear log</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>Restore</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>%1 nicht gefunden</source>
        <translation>%1 not found</translation>
    </message>
    <message>
        <source>Die Serverliste wurde geändert. Änderungen speichern?</source>
        <translation>The server list has changed. Save the changes?</translation>
    </message>
    <message>
        <source> hide &amp;Debuginfos</source>
        <translation> hide &amp;debug info</translation>
    </message>
    <message>
        <source>show &amp;Debuginfos</source>
        <translation>show &amp;debug info</translation>
    </message>
    <message>
        <source>Ziel nicht erreichbar!</source>
        <translation>Server not reachable!</translation>
    </message>
    <message>
        <source>Antworten kamen von einer anderen Adresse: %1</source>
        <translation>Replies came from another address: %1</translation>
    </message>
    <message>
        <source>Kein Server gewählt!!!</source>
        <translation>No server selected!</translation>
    </message>
    <message>
        <source>Kein Rcon password angegeben!</source>
        <translation>No console password given!</translation>
    </message>
    <message>
        <source>Kein Rcon-Passwort für diesen Server gesetzt.</source>
        <translation>No console password is set for this server.</translation>
    </message>
    <message>
        <source>Keine Rcon-Befehle an eine Broadcast-Adresse! Nichts gesendet.</source>
        <translation>No console commands to a broadcast address! Nothing was sent.</translation>
    </message>
    <message>
        <source>Kein Spieler gewählt!</source>
        <translation>No player selected!</translation>
    </message>
    <message>
        <source>Spieler nicht in der Statusliste gefunden!</source>
        <translation>Player not found in the status listing!</translation>
    </message>
    <message>
        <source>Kick</source>
        <translation>Kick</translation>
    </message>
    <message>
        <source>Ban 1min</source>
        <translation>Ban 1 min</translation>
    </message>
    <message>
        <source>Ban 2min</source>
        <translation>Ban 2 min</translation>
    </message>
    <message>
        <source>Ban 5min</source>
        <translation>Ban 5 min</translation>
    </message>
    <message>
        <source>Ban 10min</source>
        <translation>Ban 10 min</translation>
    </message>
    <message>
        <source>Ban permanent</source>
        <translation>Ban permanently</translation>
    </message>
    <message>
        <source>Interner Error 112</source>
        <translation>Internal error 112</translation>
    </message>
    <message>
        <source>Keine eigene IP-Adresse gefunden! Der Chat kann nicht starten.</source>
        <translation>No address of this machine found! The chat cannot start.</translation>
    </message>
    <message>
        <source>Zerval Serverlist [*.zsl]|*.zsl|All Files [*.*]|*.*</source>
        <translation>Zerval server list [*.zsl]|*.zsl|All files [*.*]|*.*</translation>
    </message>
    <message>
        <source>Kein Servername eingegeben!!!</source>
        <translation>No server name given!</translation>
    </message>
    <message>
        <source>Kein Server IP eingegeben!!!</source>
        <translation>No server address given!</translation>
    </message>
    <message>
        <source>Open Serverlist</source>
        <translation>Open server list</translation>
    </message>
    <message>
        <source>Save Serverlist</source>
        <translation>Save server list</translation>
    </message>
    <message>
        <source>kein Server gewählt</source>
        <translation>no server selected</translation>
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
        <translation>frags</translation>
    </message>
    <message>
        <source>ping</source>
        <translation>ping</translation>
    </message>
    <message>
        <source>loss</source>
        <translation>loss</translation>
    </message>
    <message>
        <source>time</source>
        <translation>time</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>address</translation>
    </message>
    <message>
        <source>%1ms</source>
        <translation>%1 ms</translation>
    </message>
    <message>
        <source>WonID / IP</source>
        <translation>WonID / address</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Rule</source>
        <translation>Rule</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>Bytes Send: %1 / Bytes Recieved: %2</source>
        <translation>Bytes sent: %1 / Bytes received: %2</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>No</source>
        <translation>No</translation>
    </message>
    <message>
        <source>Dedicated / Linux</source>
        <translation>Dedicated / Linux</translation>
    </message>
    <message>
        <source>Linsten / Linux</source>
        <translation>Listen / Linux</translation>
    </message>
    <message>
        <source>Dedicated / Windows</source>
        <translation>Dedicated / Windows</translation>
    </message>
    <message>
        <source>Linsten / Windows</source>
        <translation>Listen / Windows</translation>
    </message>
    <message>
        <source>Server Name</source>
        <translation>Server name</translation>
    </message>
    <message>
        <source>Server IP</source>
        <translation>Server address</translation>
    </message>
    <message>
        <source>Game</source>
        <translation>Game</translation>
    </message>
    <message>
        <source>running Map</source>
        <translation>Current map</translation>
    </message>
    <message>
        <source>Player connected / max</source>
        <translation>Players connected / max</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Server Type / OS</source>
        <translation>Server type / OS</translation>
    </message>
    <message>
        <source>Mod URL / Download URL</source>
        <translation>Mod URL / download URL</translation>
    </message>
    <message>
        <source>Mod Size</source>
        <translation>Mod size</translation>
    </message>
    <message>
        <source>Mod Version</source>
        <translation>Mod version</translation>
    </message>
    <message>
        <source>&quot;Serveronly&quot; Mod</source>
        <translation>Server-only mod</translation>
    </message>
    <message>
        <source>Clientside Mod</source>
        <translation>Client-side mod</translation>
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
        <translation>Keywords</translation>
    </message>
    <message>
        <source>Rcon-Befehl nicht gesendet: länger als %1 Bytes!</source>
        <translation>Console command not sent: longer than %1 bytes!</translation>
    </message>
    <message>
        <source>%1 antwortet nicht mehr</source>
        <translation>%1 does not answer any more</translation>
    </message>
    <message>
        <source>%1 antwortet wieder</source>
        <translation>%1 answers again</translation>
    </message>
    <message>
        <source>%1 ist voll (%2/%3)</source>
        <translation>%1 is full (%2/%3)</translation>
    </message>
    <message>
        <source>%1 up, %2 down</source>
        <translation>%1 up, %2 down</translation>
    </message>
    <message>
        <source>Übersicht: %1</source>
        <translation>Overview: %1</translation>
    </message>
</context>
<context>
    <name>ZervalApplication</name>
    <message>
        <source>Zerval läuft bereits!!!
Soll eine weitere Instanz geöffnen werden?
(Dies kann zu Problemen führen)</source>
        <translation>Zerval is already running!
Open another instance?
(This may cause problems)</translation>
    </message>
</context>
<context>
    <name>frm_main</name>
    <message>
        <source>Select Server</source>
        <translation>Select server</translation>
    </message>
    <message>
        <source>kein Server gewählt</source>
        <translation>no server selected</translation>
    </message>
    <message>
        <source>&amp;Rcon Control</source>
        <translation>&amp;Console control</translation>
    </message>
    <message>
        <source>Auto &amp;Query every</source>
        <translation>Auto &amp;query every</translation>
    </message>
    <message>
        <source>seconds</source>
        <translation>seconds</translation>
    </message>
    <message>
        <source>Server</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>Players</source>
        <translation>Players</translation>
    </message>
    <message>
        <source>Rules</source>
        <translation>Rules</translation>
    </message>
    <message>
        <source>Admin</source>
        <translation>Admin</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>About</source>
        <translation>About</translation>
    </message>
    <message>
        <source>show &amp;Debuginfos</source>
        <translation>show &amp;debug info</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Übersicht</source>
        <translation>Overview</translation>
    </message>
</context>
<context>
    <name>frm_query</name>
    <message>
        <source>Please Wait...</source>
        <translation>Please wait…</translation>
    </message>
    <message>
        <source>Wait for reply..... Please Wait</source>
        <translation>Waiting for the reply… Please wait</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>tb_about</name>
    <message>
        <source>Fehler, Kritik und Vorschläge bitte per E-Mail an zerval@example.org</source>
        <translation>Please send bug reports, criticism and suggestions by e-mail to zerval@example.org</translation>
    </message>
    <message>
        <source>Keine Haftung für evtl Schäden, die durch dies Programm enstanden sind. Ich gebe keine Garantie, dass das Programm fehlerfrei ist!!!!!</source>
        <translation>No liability for any damage caused by this program. There is no guarantee that the program is free of errors!</translation>
    </message>
</context>
<context>
    <name>tb_admin</name>
    <message>
        <source>RCon &amp;Command: (ohne rcon eingeben!)</source>
        <translation>Console command: (&amp;without &quot;rcon&quot;)</translation>
    </message>
    <message>
        <source>Send rcon-command</source>
        <translation>Send the console command</translation>
    </message>
    <message>
        <source>&amp;Send</source>
        <translation>&amp;Send</translation>
    </message>
    <message>
        <source>C&amp;hat</source>
        <translation>C&amp;hat</translation>
    </message>
    <message>
        <source>Clear &amp;Log </source>
        <translation>Clear &amp;log </translation>
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
        <translation>Add&amp;ress:</translation>
    </message>
    <message>
        <source>rcon pass&amp;word:</source>
        <translation>Console pass&amp;word:</translation>
    </message>
    <message>
        <source>&amp;Add</source>
        <translation>&amp;Add</translation>
    </message>
    <message>
        <source>&amp;Modify</source>
        <translation>&amp;Modify</translation>
    </message>
    <message>
        <source>R&amp;emove</source>
        <translation>R&amp;emove</translation>
    </message>
    <message>
        <source>&amp;Server:</source>
        <translation>&amp;Servers:</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Ping</source>
        <translation>Ping</translation>
    </message>
    <message>
        <source>Sa&amp;ve Serverlist </source>
        <translation>Save server &amp;list </translation>
    </message>
    <message>
        <source>L&amp;oad Serverlist</source>
        <translation>Load ser&amp;ver list</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>&amp;Timeout</source>
        <translation>&amp;Timeout</translation>
    </message>
    <message>
        <source>Proto&amp;col</source>
        <translation>&amp;Protocol</translation>
    </message>
    <message>
        <source>Classic</source>
        <translation>Classic</translation>
    </message>
    <message>
        <source>Steam (A2S)</source>
        <translation>Steam (A2S)</translation>
    </message>
    <message>
        <source>S&amp;how in ComboBox</source>
        <translation>S&amp;how in the server box</translation>
    </message>
    <message>
        <source>Servername</source>
        <translation>Server name</translation>
    </message>
    <message>
        <source>Standard Server&amp;list</source>
        <translation>Standard server l&amp;ist</translation>
    </message>
    <message>
        <source>Load on Start&amp;up</source>
        <translation>Load on start&amp;up</translation>
    </message>
    <message>
        <source>Quer&amp;y Server                  on Startup</source>
        <translation>Quer&amp;y server                  on startup</translation>
    </message>
    <message>
        <source>Select your IP</source>
        <translation>Your address</translation>
    </message>
    <message>
        <source>Ena&amp;ble Trayicon</source>
        <translation>Ena&amp;ble tray icon</translation>
    </message>
    <message>
        <source>Save O&amp;ptions</source>
        <translation>Save &amp;options</translation>
    </message>
    <message>
        <source>Protocol</source>
        <translation>Protocol</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Auto</translation>
    </message>
</context>
<context>
    <name>ts_overview</name>
    <message>
        <source>&amp;Watch</source>
        <translation>&amp;Watch</translation>
    </message>
    <message>
        <source>&amp;every</source>
        <translation>&amp;every</translation>
    </message>
    <message>
        <source>seconds</source>
        <translation>seconds</translation>
    </message>
    <message>
        <source>Refresh &amp;now</source>
        <translation>Refresh &amp;now</translation>
    </message>
    <message>
        <source>Noti&amp;fy</source>
        <translation>Noti&amp;fy</translation>
    </message>
</context>
<context>
    <name>ts_players</name>
    <message>
        <source>&amp;Player</source>
        <translation>&amp;Players</translation>
    </message>
    <message>
        <source>Re&amp;fresh</source>
        <translation>&amp;Refresh</translation>
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
        <translation>Player details</translation>
    </message>
    <message>
        <source>Banned ID/IPs</source>
        <translation>Banned IDs/addresses</translation>
    </message>
</context>
</TS>
