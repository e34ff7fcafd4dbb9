<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>LanguageProbe</name>
    <message>
        <source>catalogue</source>
        <translation>English</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
</context>
</TS>
