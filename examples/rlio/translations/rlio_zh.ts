<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh" sourcelanguage="en">
<context>
    <name>tessel::RlIo</name>
    <message>
        <source>IO and instructions</source>
        <translation>IO 与指令</translation>
    </message>
    <message>
        <source>IO signals</source>
        <translation>IO 信号</translation>
    </message>
    <message>
        <source>Signal</source>
        <translation>信号</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>值</translation>
    </message>
    <message>
        <source>Registers</source>
        <translation>寄存器</translation>
    </message>
    <message>
        <source>Register</source>
        <translation>寄存器</translation>
    </message>
    <message>
        <source>Tools and work objects</source>
        <translation>工具与工件坐标系</translation>
    </message>
    <message>
        <source>Tools</source>
        <translation>工具</translation>
    </message>
    <message>
        <source>Work objects</source>
        <translation>工件坐标系</translation>
    </message>
    <message>
        <source>The instruction WaitDI is in the program editor&apos;s group &quot;IO&quot;.</source>
        <translation>指令 WaitDI 位于程序编辑器的“IO”分组中。</translation>
    </message>
    <message>
        <source>IO</source>
        <translation>IO</translation>
    </message>
    <message>
        <source>WaitDI &lt;signal&gt;, &lt;value&gt;: waits until the digital input has the value (0 or 1).</source>
        <translation>WaitDI &lt;信号&gt;, &lt;值&gt;：等待数字输入变为该值（0 或 1）。</translation>
    </message>
    <message>
        <source>Current tool: %1, work object: %2</source>
        <translation>当前工具：%1，工件坐标系：%2</translation>
    </message>
</context>
<context>
    <name>tessel::WaitDIEditor</name>
    <message>
        <source>Input</source>
        <translation>输入信号</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>值</translation>
    </message>
</context>
</TS>
