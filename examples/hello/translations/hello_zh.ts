<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh" sourcelanguage="en">
<context>
    <name>tessel::Hello</name>
    <message>
        <source>Hello</source>
        <translation>你好</translation>
    </message>
    <message>
        <source>Hello from a tessel plug-in.</source>
        <translation>来自 tessel 插件的问候。</translation>
    </message>
    <message>
        <source>%1: no value yet</source>
        <translation>%1：尚无数值</translation>
    </message>
    <message>
        <source>Physical button pressed 0 times</source>
        <translation>实体按键已按下 0 次</translation>
    </message>
    <message>
        <source>Wave</source>
        <translation>挥手</translation>
    </message>
    <message>
        <source>Physical button pressed %1 times</source>
        <translation>实体按键已按下 %1 次</translation>
    </message>
    <message>
        <source>Controller connected (%1)</source>
        <translation>控制器已连接（%1）</translation>
    </message>
    <message>
        <source>Controller disconnected</source>
        <translation>控制器已断开</translation>
    </message>
</context>
</TS>
