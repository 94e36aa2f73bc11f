<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="xx">
<context>
    <name>MainWindow</name>
    <message>
        <source>Overview</source>
        <translation>[Overview]</translation>
    </message>
    <message>
        <source>Applications</source>
        <translation>[Applications]</translation>
    </message>
    <message>
        <source>Processes</source>
        <translation>[Processes]</translation>
    </message>
    <message>
        <source>Services</source>
        <translation>[Services]</translation>
    </message>
    <message>
        <source>Cron Jobs</source>
        <translation>[Cron Jobs]</translation>
    </message>
    <message>
        <source>Networking</source>
        <translation>[Networking]</translation>
    </message>
    <message>
        <source>Users</source>
        <translation>[Users]</translation>
    </message>
    <message>
        <source>Logs</source>
        <translation>[Logs]</translation>
    </message>
</context>
</TS>
