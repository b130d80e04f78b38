<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh" sourcelanguage="en">
<context>
    <name>PendantWindow</name>
    <message>
        <source>Teach pendant emulator</source>
        <translation>示教器模拟器</translation>
    </message>
    <message>
        <source>Robot</source>
        <translation>机器人</translation>
    </message>
    <message>
        <source>Program</source>
        <translation>程序</translation>
    </message>
    <message>
        <source>Controller connected</source>
        <translation>控制器已连接</translation>
    </message>
    <message>
        <source>Controller disconnected</source>
        <translation>控制器已断开</translation>
    </message>
    <message>
        <source>Controller lost, retrying %1</source>
        <translation>控制器连接丢失，正在重试 %1</translation>
    </message>
    <message>
        <source>Controller not reached at %1</source>
        <translation>无法连接控制器 %1</translation>
    </message>
</context>
<context>
    <name>ProgramEditor</name>
    <message>
        <source>Instructions</source>
        <translation>指令</translation>
    </message>
    <message>
        <source>Usage:</source>
        <translation>用法：</translation>
    </message>
    <message>
        <source>Skeleton:</source>
        <translation>骨架：</translation>
    </message>
    <message>
        <source>Default:</source>
        <translation>默认值：</translation>
    </message>
    <message>
        <source>Insert...</source>
        <translation>插入...</translation>
    </message>
    <message>
        <source>Properties...</source>
        <translation>属性...</translation>
    </message>
    <message>
        <source>Program:</source>
        <translation>程序：</translation>
    </message>
    <message>
        <source>Type an instruction line</source>
        <translation>输入一行指令</translation>
    </message>
    <message>
        <source>Insert %1</source>
        <translation>插入 %1</translation>
    </message>
    <message>
        <source>Properties of %1</source>
        <translation>%1 的属性</translation>
    </message>
    <message>
        <source>No editor is registered for %1</source>
        <translation>%1 没有注册编辑器</translation>
    </message>
    <message>
        <source>Insert</source>
        <translation>插入</translation>
    </message>
    <message>
        <source>Replace</source>
        <translation>替换</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>The editor refused the instruction: check its fields.</source>
        <translation>编辑器拒绝了该指令：请检查各字段。</translation>
    </message>
    <message>
        <source>Type a line to see which instruction it is.</source>
        <translation>输入一行，查看它是哪条指令。</translation>
    </message>
    <message>
        <source>No registered instruction matches this line.</source>
        <translation>没有已注册的指令与此行匹配。</translation>
    </message>
    <message>
        <source>Recognised: %1</source>
        <translation>已识别：%1</translation>
    </message>
</context>
<context>
    <name>RobotView</name>
    <message>
        <source>No robot position yet</source>
        <translation>尚无机器人位置</translation>
    </message>
    <message>
        <source>J%1  %2°</source>
        <translation>J%1  %2°</translation>
    </message>
    <message>
        <source>TCP %1, %2, %3 mm</source>
        <translation>TCP %1, %2, %3 mm</translation>
    </message>
    <message>
        <source>Controller not reached: last known position</source>
        <translation>未连接控制器：显示最后已知位置</translation>
    </message>
</context>
</TS>
