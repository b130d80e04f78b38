<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh" sourcelanguage="en">
<context>
    <name>tessel::InterfaceManager</name>
    <message>
        <source>Auto generate at: %1</source>
        <translation>自动生成于：%1</translation>
    </message>
</context>
</TS>
