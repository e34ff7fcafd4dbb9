<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>LanguageProbe</name>
    <message>
        <source>catalogue</source>
        <translation>Chinese</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>文件</source>
        <translation>文件</translation>
    </message>
</context>
</TS>
