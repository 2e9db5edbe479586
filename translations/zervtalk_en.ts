<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>ChatView</name>
    <message>
        <source>(team) %1: %2</source>
        <translation>(team) %1: %2</translation>
    </message>
    <message>
        <source>[Console] %1</source>
        <translation>[Console] %1</translation>
    </message>
    <message>
        <source>%1 entered the game</source>
        <translation>%1 entered the game</translation>
    </message>
    <message>
        <source>%1 left the game</source>
        <translation>%1 left the game</translation>
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
    <name>TalkWindow</name>
    <message>
        <source>&amp;Send</source>
        <translation>&amp;Send</translation>
    </message>
    <message>
        <source>show &amp;all</source>
        <translation>show &amp;all</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>Sa&amp;ve…</source>
        <translation>Sa&amp;ve…</translation>
    </message>
    <message>
        <source>Listening for the server&apos;s log on UDP port %1</source>
        <translation>Listening for the server&apos;s log on UDP port %1</translation>
    </message>
    <message>
        <source>No chat: UDP port %1 cannot be opened (%2). Sending works.</source>
        <translation>No chat: UDP port %1 cannot be opened (%2). Sending works.</translation>
    </message>
    <message>
        <source>Say to everyone on the server</source>
        <translation>Say to everyone on the server</translation>
    </message>
    <message>
        <source>Not sent: %1</source>
        <translation>Not sent: %1</translation>
    </message>
    <message>
        <source>Save the chat</source>
        <translation>Save the chat</translation>
    </message>
    <message>
        <source>Text files (*.txt)</source>
        <translation>Text files (*.txt)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>All files (*)</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>Cannot write %1: %2</translation>
    </message>
    <message>
        <source>The text went out as %1 lines.</source>
        <translation>The text went out as %1 lines.</translation>
    </message>
</context>
</TS>
