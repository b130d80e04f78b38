<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh" sourcelanguage="en">
<context>
    <name>tessel::Teach</name>
    <message>
        <source>Teach</source>
        <translation>示教</translation>
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
        <source>Points</source>
        <translation>点位</translation>
    </message>
    <message>
        <source>Point name</source>
        <translation>点位名称</translation>
    </message>
    <message>
        <source>Record joint point</source>
        <translation>记录关节点</translation>
    </message>
    <message>
        <source>Record Cartesian point</source>
        <translation>记录笛卡尔点</translation>
    </message>
    <message>
        <source>Cartesian pose (mm, deg)</source>
        <translation>笛卡尔位姿（mm，度）</translation>
    </message>
    <message>
        <source>Apply to point</source>
        <translation>应用到点位</translation>
    </message>
    <message>
        <source>Motion</source>
        <translation>运动</translation>
    </message>
    <message>
        <source>Check from</source>
        <translation>检查起点</translation>
    </message>
    <message>
        <source>Speed</source>
        <translation>速度</translation>
    </message>
    <message>
        <source>Joint move</source>
        <translation>关节运动</translation>
    </message>
    <message>
        <source>Check move</source>
        <translation>检查运动</translation>
    </message>
    <message>
        <source>Move to point</source>
        <translation>运动到点位</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Enter a point name first</source>
        <translation>请先输入点位名称</translation>
    </message>
    <message>
        <source>Could not record %1: no position from the controller</source>
        <translation>无法记录 %1：控制器未提供位置</translation>
    </message>
    <message>
        <source>Recorded joint point %1</source>
        <translation>已记录关节点 %1</translation>
    </message>
    <message>
        <source>Recorded Cartesian point %1</source>
        <translation>已记录笛卡尔点 %1</translation>
    </message>
    <message>
        <source>Select a point first</source>
        <translation>请先选择点位</translation>
    </message>
    <message>
        <source>Changed %1</source>
        <translation>已修改 %1</translation>
    </message>
    <message>
        <source>Move %1 -&gt; %2 refused</source>
        <translation>运动 %1 -&gt; %2 不可行</translation>
    </message>
    <message>
        <source>Move %1 -&gt; %2 possible</source>
        <translation>运动 %1 -&gt; %2 可行</translation>
    </message>
    <message>
        <source>No point %1</source>
        <translation>没有点位 %1</translation>
    </message>
    <message>
        <source>Moving to %1</source>
        <translation>正在运动到 %1</translation>
    </message>
    <message>
        <source>Stopped</source>
        <translation>已停止</translation>
    </message>
    <message>
        <source>Move %1: %2 (error %3)</source>
        <translation>运动 %1：%2（错误 %3）</translation>
    </message>
    <message>
        <source>Controller: %1</source>
        <translation>控制器：%1</translation>
    </message>
</context>
</TS>
