<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>ChatView</name>
    <message>
        <source>(team) %1: %2</source>
        <translation>(Team) %1: %2</translation>
    </message>
    <message>
        <source>[Console] %1</source>
        <translation>[Konsole] %1</translation>
    </message>
    <message>
        <source>%1 entered the game</source>
        <translation>%1 ist dem Spiel beigetreten</translation>
    </message>
    <message>
        <source>%1 left the game</source>
        <translation>%1 hat das Spiel verlassen</translation>
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
    <name>TalkWindow</name>
    <message>
        <source>&amp;Send</source>
        <translation>&amp;Senden</translation>
    </message>
    <message>
        <source>show &amp;all</source>
        <translation>&amp;alles zeigen</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Kopieren</translation>
    </message>
    <message>
        <source>Sa&amp;ve…</source>
        <translation>Spei&amp;chern …</translation>
    </message>
    <message>
        <source>Listening for the server&apos;s log on UDP port %1</source>
        <translation>Warte auf das Log des Servers an UDP-Port %1</translation>
    </message>
    <message>
        <source>No chat: UDP port %1 cannot be opened (%2). Sending works.</source>
        <translation>Kein Chat: UDP-Port %1 lässt sich nicht öffnen (%2). Senden geht.</translation>
    </message>
    <message>
        <source>Say to everyone on the server</source>
        <translation>An alle auf dem Server sagen</translation>
    </message>
    <message>
        <source>Not sent: %1</source>
        <translation>Nicht gesendet: %1</translation>
    </message>
    <message>
        <source>Save the chat</source>
        <translation>Chat speichern</translation>
    </message>
    <message>
        <source>Text files (*.txt)</source>
        <translation>Textdateien (*.txt)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>%1 kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>The text went out as %1 lines.</source>
        <translation>Der Text ging als %1 Zeilen hinaus.</translation>
    </message>
</context>
</TS>
