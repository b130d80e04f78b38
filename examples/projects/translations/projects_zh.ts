<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh" sourcelanguage="en">
<context>
    <name>tessel::Projects</name>
    <message>
        <source>Projects</source>
        <translation>工程</translation>
    </message>
    <message>
        <source>Program variables</source>
        <translation>程序变量</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>值</translation>
    </message>
    <message>
        <source>Persistent (PERS)</source>
        <translation>持久变量（PERS）</translation>
    </message>
    <message>
        <source>Speeds</source>
        <translation>速度</translation>
    </message>
    <message>
        <source>Zones</source>
        <translation>转弯区</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>添加</translation>
    </message>
    <message>
        <source>Change value</source>
        <translation>修改值</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>Monitor PERS</source>
        <translation>监视 PERS</translation>
    </message>
    <message>
        <source>Read PERS</source>
        <translation>读取 PERS</translation>
    </message>
    <message>
        <source>Write PERS</source>
        <translation>写入 PERS</translation>
    </message>
    <message>
        <source>Robot projects</source>
        <translation>机器人工程</translation>
    </message>
    <message>
        <source>Projects on the controller</source>
        <translation>控制器上的工程</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>描述</translation>
    </message>
    <message>
        <source>Create</source>
        <translation>新建</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message>
        <source>Current project: %1</source>
        <translation>当前工程：%1</translation>
    </message>
    <message>
        <source>none</source>
        <translation>无</translation>
    </message>
    <message>
        <source>Give the variable a name</source>
        <translation>请输入变量名</translation>
    </message>
    <message>
        <source>Variable %1 added; build the project again</source>
        <translation>已添加变量 %1，请重新编译工程</translation>
    </message>
    <message>
        <source>Variable %1 changed</source>
        <translation>已修改变量 %1</translation>
    </message>
    <message>
        <source>Variable %1 removed</source>
        <translation>已删除变量 %1</translation>
    </message>
    <message>
        <source>The controller refused to remove %1</source>
        <translation>控制器拒绝删除 %1</translation>
    </message>
    <message numerus="yes">
        <source>Monitoring %n PERS variable(s)</source>
        <translation>
            <numerusform>正在监视 %n 个 PERS 变量</numerusform>
        </translation>
    </message>
    <message>
        <source>This controller version has no PERS monitor (%1)</source>
        <translation>此控制器版本不支持 PERS 监视（%1）</translation>
    </message>
    <message>
        <source>No PERS variable monitored</source>
        <translation>未监视任何 PERS 变量</translation>
    </message>
    <message>
        <source>PERS on the controller: %1</source>
        <translation>控制器上的 PERS：%1</translation>
    </message>
    <message>
        <source>PERS %1 written on the controller</source>
        <translation>PERS %1 已写入控制器</translation>
    </message>
    <message>
        <source>PERS %1 not written (%2)</source>
        <translation>PERS %1 未写入（%2）</translation>
    </message>
    <message>
        <source>Project %1 created and opened</source>
        <translation>工程 %1 已创建并打开</translation>
    </message>
    <message>
        <source>&quot;%1&quot; cannot be a project name</source>
        <translation>“%1”不能作为工程名</translation>
    </message>
    <message>
        <source>Project %1 exists already</source>
        <translation>工程 %1 已存在</translation>
    </message>
    <message>
        <source>The folder of project %1 could not be made</source>
        <translation>无法创建工程 %1 的文件夹</translation>
    </message>
    <message>
        <source>Project %1 opened</source>
        <translation>工程 %1 已打开</translation>
    </message>
    <message>
        <source>Project %1 removed</source>
        <translation>工程 %1 已删除</translation>
    </message>
</context>
</TS>
