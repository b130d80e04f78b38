<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>RecordListModel</name>
    <message>
        <source>手动应用</source>
        <translation>Manual apply</translation>
    </message>
    <message>
        <source>自动应用</source>
        <translation>Automatic apply</translation>
    </message>
    <message>
        <source>恢复</source>
        <translation>Restore</translation>
    </message>
    <message>
        <source>完整</source>
        <translation>Complete</translation>
    </message>
    <message>
        <source>部分（%1失败）</source>
        <translation>Partial (%1 failed)</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>SN号</source>
        <translation>SN</translation>
    </message>
    <message>
        <source>方式</source>
        <translation>Applied by</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Outcome</translation>
    </message>
    <message>
        <source>平均误差(mm)</source>
        <translation>Mean error (mm)</translation>
    </message>
    <message>
        <source>最大误差(mm)</source>
        <translation>Max error (mm)</translation>
    </message>
    <message>
        <source>ISO AP前(mm)</source>
        <translation>AP before (mm)</translation>
    </message>
    <message>
        <source>ISO AP后(mm)</source>
        <translation>AP after (mm)</translation>
    </message>
</context>
<context>
    <name>calibWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>启动标定</source>
        <translation>Start calibration</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>请选择标定参数</source>
        <translation>Select the parameters to calibrate.</translation>
    </message>
    <message>
        <source>请输入SN号</source>
        <translation>Enter the serial number.</translation>
    </message>
    <message>
        <source>SN号包含非法字符</source>
        <translation>The serial number contains characters that are not allowed.</translation>
    </message>
    <message>
        <source>标定运行中</source>
        <translation>Calibration running</translation>
    </message>
    <message>
        <source>初始化中...</source>
        <translation>Initialising...</translation>
    </message>
    <message>
        <source>取消标定</source>
        <translation>Cancel calibration</translation>
    </message>
    <message>
        <source>写入标定请求文件失败</source>
        <translation>Could not write the calibration request file.</translation>
    </message>
    <message>
        <source>未匹配到采点程序</source>
        <translation>No pose collection program found.</translation>
    </message>
    <message>
        <source>匹配到多个采点程序</source>
        <translation>More than one pose collection program found.</translation>
    </message>
    <message>
        <source>ERROR</source>
        <translation>ERROR</translation>
    </message>
    <message>
        <source>启动失败</source>
        <translation>Start failed</translation>
    </message>
    <message>
        <source>采集进度：%1 / %2</source>
        <translation>Collecting poses: %1 / %2</translation>
    </message>
    <message>
        <source>优化中...</source>
        <translation>Optimising...</translation>
    </message>
    <message>
        <source>采点程序执行失败</source>
        <translation>The pose collection program failed.</translation>
    </message>
    <message>
        <source>优化失败</source>
        <translation>Optimisation failed</translation>
    </message>
    <message>
        <source>读取结果失败</source>
        <translation>Could not read the result</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>读取误差数据失败</source>
        <translation>Could not read the validation errors.</translation>
    </message>
    <message>
        <source>读取零点数据失败</source>
        <translation>Could not read the zero offsets.</translation>
    </message>
    <message>
        <source>读取质量门禁数据失败</source>
        <translation>Could not read the quality gate data.</translation>
    </message>
    <message>
        <source>优化完成</source>
        <translation>Optimisation finished</translation>
    </message>
    <message>
        <source>优化结果不达标</source>
        <translation>Result fails the quality gate</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>标定完成</source>
        <translation>Calibration done</translation>
    </message>
    <message>
        <source>请检查右侧数据并应用参数</source>
        <translation>Check the result card, then apply it.</translation>
    </message>
    <message>
        <source>结果合规，即将写入控制器</source>
        <translation>The result passes the quality gate and will be written to the controller.</translation>
    </message>
    <message>
        <source>标定已取消</source>
        <translation>Calibration cancelled</translation>
    </message>
    <message>
        <source>Notice</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>已取消</source>
        <translation>Cancelled.</translation>
    </message>
    <message>
        <source>请检查右侧数据并应用参数</source>
        <comment>automatic apply</comment>
        <translation>Check the result card: it passed and is applied automatically.</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>ISO测试运行中，不能启动标定</source>
        <translation>An ISO test is running; a calibration cannot start now.</translation>
    </message>
</context>
<context>
    <name>centerWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Calib</source>
        <translation>Calibration</translation>
    </message>
    <message>
        <source>Iso</source>
        <translation>ISO test</translation>
    </message>
    <message>
        <source>记录</source>
        <translation>Records</translation>
    </message>
</context>
<context>
    <name>common</name>
    <message>
        <source>P5(中心点)</source>
        <translation>P5 (centre)</translation>
    </message>
</context>
<context>
    <name>dhparameterWidget</name>
    <message>
        <source>Joint</source>
        <translation>Joint</translation>
    </message>
    <message>
        <source>初始参数</source>
        <translation>Original parameters</translation>
    </message>
    <message>
        <source>优化后参数</source>
        <translation>Optimised parameters</translation>
    </message>
    <message>
        <source>Alpha(°)</source>
        <translation>Alpha(°)</translation>
    </message>
    <message>
        <source>a(mm)</source>
        <translation>a(mm)</translation>
    </message>
    <message>
        <source>d(mm)</source>
        <translation>d(mm)</translation>
    </message>
    <message>
        <source>Theta(°)</source>
        <translation>Theta(°)</translation>
    </message>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>标定结果</source>
        <translation>Calibration result</translation>
    </message>
    <message>
        <source>验证平均位置误差(mm)：</source>
        <translation>Mean validation position error (mm):</translation>
    </message>
    <message>
        <source>验证最大位置误差(mm)：</source>
        <translation>Max. validation position error (mm):</translation>
    </message>
    <message>
        <source>放弃</source>
        <translation>Discard</translation>
    </message>
    <message>
        <source>应用</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>写入控制器失败</source>
        <translation>Writing to the controller failed.</translation>
    </message>
    <message>
        <source>生产模式写入参数长度不匹配或零点为空</source>
        <translation>Production mode: the number of parameters does not match, or the zero offsets are empty.</translation>
    </message>
    <message>
        <source>未找到标定结果</source>
        <translation>No calibration result found.</translation>
    </message>
    <message>
        <source>该记录不能恢复</source>
        <translation>This record cannot be restored.</translation>
    </message>
    <message>
        <source>该记录不属于当前连接的机器人</source>
        <translation>This record belongs to another robot than the one connected.</translation>
    </message>
    <message>
        <source>ISO测试运行中，不能写入控制器</source>
        <translation>An ISO test is running; nothing can be written to the controller now.</translation>
    </message>
</context>
<context>
    <name>displayisowidget</name>
    <message>
        <source>Point</source>
        <translation>Point</translation>
    </message>
    <message>
        <source>Accuracy</source>
        <translation>Accuracy</translation>
    </message>
    <message>
        <source>Repeatabillity</source>
        <translation>Repeatability</translation>
    </message>
    <message>
        <source>RMS</source>
        <translation>RMS</translation>
    </message>
    <message>
        <source>StdDev</source>
        <translation>Std. dev.</translation>
    </message>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>结果展示</source>
        <translation>Results</translation>
    </message>
    <message>
        <source>启动ISO</source>
        <translation>Start ISO test</translation>
    </message>
    <message>
        <source>保存报告</source>
        <translation>Save report</translation>
    </message>
    <message>
        <source>放弃</source>
        <translation>Discard</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>ISO检测程序不存在</source>
        <translation>The ISO test program does not exist.</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>任务已在运行</source>
        <translation>A test is already running.</translation>
    </message>
    <message>
        <source>ISO检测程序启动失败</source>
        <translation>The ISO test program failed to start.</translation>
    </message>
    <message>
        <source>ISO检测程序启动超时</source>
        <translation>The ISO test program did not start in time.</translation>
    </message>
    <message>
        <source>生成报告</source>
        <translation>Generate report</translation>
    </message>
    <message>
        <source>未匹配到ISO程序</source>
        <translation>No ISO test program found.</translation>
    </message>
    <message>
        <source>匹配到多个ISO程序</source>
        <translation>More than one ISO test program found.</translation>
    </message>
    <message>
        <source>中止运行ISO</source>
        <translation>Stop ISO test</translation>
    </message>
    <message>
        <source>ISO校准失败</source>
        <translation>The ISO test failed.</translation>
    </message>
    <message>
        <source>完成</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>ISO校准完成</source>
        <translation>ISO test finished.</translation>
    </message>
    <message>
        <source>报告生成失败</source>
        <translation>Generating the report failed.</translation>
    </message>
    <message>
        <source>报告已生成</source>
        <translation>Report generated.</translation>
    </message>
    <message>
        <source>报告保存失败</source>
        <translation>Saving the report failed.</translation>
    </message>
    <message>
        <source>报告已保存</source>
        <translation>Report saved.</translation>
    </message>
    <message>
        <source>是否放弃iso结果？</source>
        <translation>Discard the ISO results?</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>结果删除失败</source>
        <translation>Deleting the results failed.</translation>
    </message>
    <message>
        <source>结果已删除</source>
        <translation>Results deleted.</translation>
    </message>
    <message>
        <source>采集进度：</source>
        <translation>Progress:</translation>
    </message>
    <message>
        <source>标定或写入控制器进行中，不能启动ISO</source>
        <translation>A calibration or a write to the controller is under way; the ISO test cannot start now.</translation>
    </message>
</context>
<context>
    <name>infoWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>使用步骤</source>
        <translation>How to use</translation>
    </message>
    <message>
        <source>Steps here</source>
        <translation>Steps here</translation>
    </message>
    <message>
        <source>模式介绍</source>
        <translation>Modes</translation>
    </message>
    <message>
        <source>mode intro</source>
        <translation>mode intro</translation>
    </message>
    <message>
        <source>版本</source>
        <translation>Versions</translation>
    </message>
    <message>
        <source>0.0.0</source>
        <translation>0.0.0</translation>
    </message>
    <message>
        <source>步骤 1</source>
        <translation>Step 1</translation>
    </message>
    <message>
        <source>连接机器人并配置标定参数，例如 SN、型号和轴数。</source>
        <translation>Connect the robot and enter its calibration data: serial number, model and number of axes.</translation>
    </message>
    <message>
        <source>步骤 2</source>
        <translation>Step 2</translation>
    </message>
    <message>
        <source>配置标定选项，选择需要优化的 DH 参数。</source>
        <translation>Set the calibration options and choose the DH parameters to optimise.</translation>
    </message>
    <message>
        <source>步骤 3</source>
        <translation>Step 3</translation>
    </message>
    <message>
        <source>启动标定流程，等待外部标定程序执行并返回结果。</source>
        <translation>Start the calibration and wait for the external calibration program to return its result.</translation>
    </message>
    <message>
        <source>步骤 4</source>
        <translation>Step 4</translation>
    </message>
    <message>
        <source>确认优化后的 DH 参数，并写入机器人控制器。</source>
        <translation>Review the optimised DH parameters and write them to the robot controller.</translation>
    </message>
    <message>
        <source>步骤 5</source>
        <translation>Step 5</translation>
    </message>
    <message>
        <source>切换到 ISO 页面，执行位姿精度与重复性验证。</source>
        <translation>Switch to the ISO tab and verify pose accuracy and repeatability (ISO 9283).</translation>
    </message>
    <message>
        <source>普通模式： 标定后的参数和零点只写入`精度补充`开启后的参数
生产模式： 参数同时写入`精度补充`和`精度补充关闭`后的参数
自动模式： 无需人工审核,插件自动判断结果是否满足要求,并写入参数
</source>
        <translation>Normal mode: the calibrated parameters and zero offsets are written only to the set used with accuracy compensation on.
Production mode: the parameters are written both to the set used with accuracy compensation on and to the set used with it off.
Auto mode: no manual review; the plug-in checks whether the result meets the requirements and writes the parameters itself.
</translation>
    </message>
    <message>
        <source>未找到程序，Veltra可能无法运行</source>
        <translation>Program not found; Veltra may not work.</translation>
    </message>
</context>
<context>
    <name>recordWidget</name>
    <message>
        <source>参数</source>
        <translation>Parameter</translation>
    </message>
    <message>
        <source>应用前</source>
        <translation>Before</translation>
    </message>
    <message>
        <source>应用后</source>
        <translation>After</translation>
    </message>
    <message>
        <source>变化</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>恢复</source>
        <translation>Restore</translation>
    </message>
    <message>
        <source>导出记录</source>
        <translation>Export record</translation>
    </message>
    <message>
        <source>导出全部</source>
        <translation>Export all</translation>
    </message>
    <message>
        <source>记录文件已损坏，已另存并新建：%1</source>
        <translation>The record file was damaged; it was set aside and a new one begun: %1</translation>
    </message>
    <message>
        <source>记录文件无法使用，新记录不会写入：%1</source>
        <translation>The record file cannot be used; new records are not written: %1</translation>
    </message>
    <message>
        <source>%1条记录未能保存，已写入日志：%2</source>
        <translation>%1 record(s) could not be saved and were written to the log: %2</translation>
    </message>
    <message>
        <source>没有记录文件夹，记录只保存在内存中</source>
        <translation>No record folder: the records are kept in memory only.</translation>
    </message>
    <message>
        <source>生产模式的记录只供查看：它写入了两套参数，不能恢复</source>
        <translation>A production-mode record is for viewing only: it wrote two parameter sets and cannot be restored.</translation>
    </message>
    <message>
        <source>应用前的零点未全部测出：只写回DH参数会使机器人既不是应用前也不是应用后的状态，不能恢复</source>
        <translation>Not every zero offset from before the apply was measured: writing the DH set back alone would leave the robot in neither state, so the record cannot be restored.</translation>
    </message>
    <message>
        <source>记录中没有应用前的数值，不能恢复</source>
        <translation>The record holds no values from before the apply; it cannot be restored.</translation>
    </message>
    <message>
        <source>机器人：%1  ID：%2  模式：%3</source>
        <translation>Robot: %1  ID: %2  Mode: %3</translation>
    </message>
    <message>
        <source>生产模式</source>
        <translation>Production mode</translation>
    </message>
    <message>
        <source>普通模式</source>
        <translation>Normal mode</translation>
    </message>
    <message>
        <source>%1失败：新的DH参数已留在控制器中</source>
        <translation>%1 failed: the new DH set stays in the controller</translation>
    </message>
    <message>
        <source>恢复自 %1 的记录</source>
        <translation>Restored from the record of %1</translation>
    </message>
    <message>
        <source>保持的参数：%1</source>
        <translation>Held parameters: %1</translation>
    </message>
    <message>
        <source>%1 零点</source>
        <translation>%1 zero offset</translation>
    </message>
    <message>
        <source>末端连杆</source>
        <translation>End link</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>标定记录保存失败</source>
        <translation>The calibration record could not be saved.</translation>
    </message>
    <message>
        <source>标定运行中，不能恢复</source>
        <translation>A calibration is running; nothing can be restored now.</translation>
    </message>
    <message>
        <source>将 %1 的记录（SN：%2）中应用前的DH参数和零点写回控制器，控制器随后重启。是否继续？</source>
        <translation>Write the DH set and zero offsets from before the record of %1 (serial number %2) back to the controller, which then restarts. Continue?</translation>
    </message>
    <message>
        <source>选择导出文件夹</source>
        <translation>Choose the export folder</translation>
    </message>
    <message>
        <source>导出失败：%1</source>
        <translation>Export failed: %1</translation>
    </message>
    <message>
        <source>完成</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>已导出：%1</source>
        <translation>Exported: %1</translation>
    </message>
</context>
<context>
    <name>setupWidget</name>
    <message>
        <source>普通模式</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>生产模式</source>
        <translation>Production</translation>
    </message>
    <message>
        <source>自动应用</source>
        <translation>Auto apply</translation>
    </message>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>标定配置</source>
        <translation>Calibration setup</translation>
    </message>
    <message>
        <source>SN</source>
        <translation>SN</translation>
    </message>
    <message>
        <source>优化参数选择</source>
        <translation>Parameters to optimise</translation>
    </message>
    <message>
        <source>中轴</source>
        <translation>Middle axes</translation>
    </message>
    <message>
        <source>α</source>
        <translation>α</translation>
    </message>
    <message>
        <source>a</source>
        <translation>a</translation>
    </message>
    <message>
        <source>d</source>
        <translation>d</translation>
    </message>
    <message>
        <source>θ</source>
        <translation>θ</translation>
    </message>
    <message>
        <source>操作</source>
        <translation>Select</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>全不选</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>全参</source>
        <translation>All parameters</translation>
    </message>
    <message>
        <source>当前无中间轴，切换后所有参数将取消勾选</source>
        <translation>This robot has no middle axes: switching clears the choice of every parameter.</translation>
    </message>
    <message>
        <source>确定要切换参数选择范围吗？</source>
        <translation>Switch the range of parameters to choose from?</translation>
    </message>
    <message>
        <source>切换参数选择范围</source>
        <translation>Switch parameter range</translation>
    </message>
    <message>
        <source>确认切换模式</source>
        <translation>Switch mode</translation>
    </message>
    <message>
        <source>确定要切换模式吗？</source>
        <translation>Switch the calibration mode?</translation>
    </message>
    <message>
        <source>🔒 解锁</source>
        <translation>🔒 Unlock</translation>
    </message>
    <message>
        <source>🔓 锁定</source>
        <translation>🔓 Lock</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>输入解锁密码</source>
        <translation>Unlock password</translation>
    </message>
    <message>
        <source>密码解锁参数</source>
        <translation>Unlock the DH parameters:</translation>
    </message>
    <message>
        <source>密码</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>setupisowidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>默认点位</source>
        <translation>Default poses</translation>
    </message>
    <message>
        <source>自定义点位</source>
        <translation>Custom poses</translation>
    </message>
    <message>
        <source>清除自定义点位</source>
        <translation>Clear custom poses</translation>
    </message>
    <message>
        <source>点位采集次数</source>
        <translation>Cycles per pose</translation>
    </message>
    <message>
        <source>报告保存路径</source>
        <translation>Report folder</translation>
    </message>
    <message>
        <source>选择路径</source>
        <translation>Choose folder</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>输入值%1</source>
        <translation>Value %1</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>读取默认ISO参数异常</source>
        <translation>Could not read the default ISO poses.</translation>
    </message>
    <message>
        <source>未设置保存路径</source>
        <translation>No report folder is set.</translation>
    </message>
    <message>
        <source>点位采集次数需在 0 到 30 之间</source>
        <translation>Cycles per pose must be between 0 and 30.</translation>
    </message>
    <message>
        <source>%1 的第 %2 个值为空，请输入自定义点位</source>
        <translation>Value %2 of %1 is empty: enter the whole custom pose.</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>打开文件失败</source>
        <translation>Could not open the file.</translation>
    </message>
    <message>
        <source>文件解析失败</source>
        <translation>Could not parse the file.</translation>
    </message>
    <message>
        <source>请输入 0 到 30 之间的整数</source>
        <translation>Enter a whole number from 0 to 30</translation>
    </message>
    <message>
        <source>选择报告保存目录</source>
        <translation>Choose the report folder</translation>
    </message>
    <message>
        <source>%1 的第 %2 个值超出范围，请输入自定义点位</source>
        <translation>Value %2 of %1 is out of range: enter the custom pose.</translation>
    </message>
    <message>
        <source>保存失败：%1</source>
        <translation>Saving failed: %1</translation>
    </message>
</context>
</TS>
