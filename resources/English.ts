<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>AboutDialog</name>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>版本号:1.0.0.1</source>
        <translation>Version: 1.0.0.1</translation>
    </message>
    <message>
        <source>版本更新</source>
        <translation>Check for updates</translation>
    </message>
    <message>
        <source>Copyright © Tevrano. 保留所有权利。</source>
        <translation>Copyright © Tevrano. All rights reserved.</translation>
    </message>
    <message>
        <source>更新失败</source>
        <translation>Update failed</translation>
    </message>
    <message>
        <source>已经是最新版本</source>
        <translation>Already up to date</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>安装程序的签名未通过验证</source>
        <translation>The installer&apos;s signature did not verify.</translation>
    </message>
    <message>
        <source>无法启动安装程序</source>
        <translation>The installer could not be started.</translation>
    </message>
    <message>
        <source>版本：%1</source>
        <translation>Version: %1</translation>
    </message>
</context>
<context>
    <name>ChartPrompter</name>
    <message>
        <source>保存记录</source>
        <translation>Save record</translation>
    </message>
    <message>
        <source>记录文件 (*.txt)</source>
        <translation>Record files (*.txt)</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
</context>
<context>
    <name>ChartSettingsDialog</name>
    <message>
        <source>图表参数设置</source>
        <translation>Chart settings</translation>
    </message>
    <message>
        <source>最大数据量:</source>
        <translation>Max. samples:</translation>
    </message>
    <message>
        <source>记录间隔:</source>
        <translation>Interval:</translation>
    </message>
    <message>
        <source>记录时长:</source>
        <translation>Duration:</translation>
    </message>
    <message>
        <source>内存:</source>
        <translation>Memory:</translation>
    </message>
    <message>
        <source>%1天</source>
        <translation>%1 d</translation>
    </message>
    <message>
        <source>%1时</source>
        <translation>%1 h</translation>
    </message>
    <message>
        <source>%1分</source>
        <translation>%1 min</translation>
    </message>
    <message>
        <source>%1秒</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source> 千个</source>
        <translation> thousand</translation>
    </message>
</context>
<context>
    <name>ChartStrip</name>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>正在记录数据，请先停止！</source>
        <translation>Recording in progress. Stop it first!</translation>
    </message>
    <message>
        <source>触发记录：等待 %1</source>
        <translation>Triggered recording: waiting for %1</translation>
    </message>
</context>
<context>
    <name>ChartWidget</name>
    <message>
        <source>℉</source>
        <translation>℉</translation>
    </message>
    <message>
        <source>℃</source>
        <translation>℃</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>全局</source>
        <translation>Full</translation>
    </message>
    <message>
        <source>水平缩放</source>
        <translation>Zoom X</translation>
    </message>
    <message>
        <source>垂直缩放</source>
        <translation>Zoom Y</translation>
    </message>
    <message>
        <source>保存曲线</source>
        <translation>Save curve</translation>
    </message>
    <message>
        <source>时间(秒)</source>
        <translation>Time (s)</translation>
    </message>
    <message>
        <source>温度(℃)</source>
        <translation>Temperature (℃)</translation>
    </message>
    <message>
        <source>实温</source>
        <translation>Object</translation>
    </message>
    <message>
        <source>环温</source>
        <translation>Ambient</translation>
    </message>
    <message>
        <source>温度(℉)</source>
        <translation>Temperature (℉)</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>记录数据结束</source>
        <translation>Recording finished</translation>
    </message>
    <message>
        <source>模式1</source>
        <translation>Mode 1</translation>
    </message>
    <message>
        <source>模式2</source>
        <translation>Mode 2</translation>
    </message>
    <message>
        <source>实时趋势（未记录）</source>
        <translation>Live trend (not recorded)</translation>
    </message>
    <message>
        <source>时刻 %1</source>
        <translation>Time %1</translation>
    </message>
    <message>
        <source>经过 %1 秒</source>
        <translation>Elapsed %1 s</translation>
    </message>
    <message>
        <source>最小 %1   最大 %2   平均 %3   标准差 %4   样本 %5   时长 %6 秒</source>
        <translation>Min %1   Max %2   Mean %3   Std dev %4   Samples %5   Duration %6 s</translation>
    </message>
    <message>
        <source>选区：</source>
        <translation>Selection: </translation>
    </message>
    <message>
        <source>视图已固定：双击图表恢复跟随读数</source>
        <translation>View held: double-click the chart to follow the readings again</translation>
    </message>
    <message>
        <source>添加标记</source>
        <translation>Add marker</translation>
    </message>
    <message>
        <source>%1 环温</source>
        <translation>%1 ambient</translation>
    </message>
</context>
<context>
    <name>ConnectionControls</name>
    <message>
        <source>高温报警</source>
        <translation>High alarm</translation>
    </message>
    <message>
        <source>低温报警</source>
        <translation>Low alarm</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>无法连接设备</source>
        <translation>Cannot connect to the device</translation>
    </message>
    <message>
        <source>打开设备</source>
        <translation>Open device</translation>
    </message>
    <message>
        <source>无法打开端口</source>
        <translation>Cannot open the port</translation>
    </message>
    <message>
        <source>关闭设备</source>
        <translation>Close device</translation>
    </message>
    <message>
        <source>已选择:</source>
        <translation>Port: </translation>
    </message>
    <message>
        <source>波特率:</source>
        <translation>Baud: </translation>
    </message>
    <message>
        <source>仪器中断</source>
        <translation>Device not responding</translation>
    </message>
    <message>
        <source>仪器已断开，等待重新连接</source>
        <translation>Device disconnected, waiting for it to return</translation>
    </message>
    <message>
        <source>设备已关闭</source>
        <translation>Device closed</translation>
    </message>
    <message>
        <source>找不到合适COM</source>
        <translation>No suitable COM port</translation>
    </message>
</context>
<context>
    <name>DeviceInfoDialog</name>
    <message>
        <source>仪器信息</source>
        <translation>Device info</translation>
    </message>
    <message>
        <source>日期:</source>
        <translation>Date:</translation>
    </message>
    <message>
        <source>序号:</source>
        <translation>Serial no.:</translation>
    </message>
    <message>
        <source>温度范围:</source>
        <translation>Range:</translation>
    </message>
    <message>
        <source>-</source>
        <translation>-</translation>
    </message>
</context>
<context>
    <name>InstrumentBoard</name>
    <message>
        <source>重命名仪器</source>
        <translation>Rename instrument</translation>
    </message>
    <message>
        <source>序列号%1的名称：</source>
        <translation>Name of serial number %1:</translation>
    </message>
</context>
<context>
    <name>MainMenus</name>
    <message>
        <source>打开记录</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>保存记录</source>
        <translation>Save record</translation>
    </message>
    <message>
        <source>导出图片…</source>
        <translation>Export picture…</translation>
    </message>
    <message>
        <source>导出CSV…</source>
        <translation>Export CSV…</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>仪器信息</source>
        <translation>Device info</translation>
    </message>
    <message>
        <source>表格设置</source>
        <translation>Chart settings</translation>
    </message>
    <message>
        <source>继电器设置</source>
        <translation>Relay settings</translation>
    </message>
    <message>
        <source>MQTT 设置</source>
        <translation>MQTT settings</translation>
    </message>
    <message>
        <source>报警声音</source>
        <translation>Alarm sound</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>显示</source>
        <translation>Show</translation>
    </message>
    <message>
        <source>隐藏</source>
        <translation>Hide</translation>
    </message>
    <message>
        <source>语言</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>参数设置</source>
        <translation>Parameters</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>模拟仪器</source>
        <translation>Simulated device</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>全局</source>
        <translation>Full</translation>
    </message>
    <message>
        <source>环温</source>
        <translation>Amb.</translation>
    </message>
    <message>
        <source>保存记录</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>选择文件</source>
        <translation>Select file</translation>
    </message>
    <message>
        <source>文件(*.txt*)</source>
        <translation>Text files (*.txt*)</translation>
    </message>
    <message>
        <source>Tevrano</source>
        <translation>Tevrano</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>设备</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>串口号：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>波特率：</source>
        <translation>Baud rate:</translation>
    </message>
    <message>
        <source>自动轮询</source>
        <translation>Auto poll</translation>
    </message>
    <message>
        <source>放射率：</source>
        <translation>Emissivity:</translation>
    </message>
    <message>
        <source>透过率：</source>
        <translation>Transmittance:</translation>
    </message>
    <message>
        <source>保持模式：</source>
        <translation>Hold mode:</translation>
    </message>
    <message>
        <source>保持时间：</source>
        <translation>Hold time:</translation>
    </message>
    <message>
        <source>平均时间：</source>
        <translation>Avg. time:</translation>
    </message>
    <message>
        <source>高级保持阈值：</source>
        <translation>Adv. thresh.:</translation>
    </message>
    <message>
        <source>高温报警</source>
        <translation>High alarm</translation>
    </message>
    <message>
        <source>低温报警</source>
        <translation>Low alarm</translation>
    </message>
    <message>
        <source>模拟输出：</source>
        <translation>Analog out:</translation>
    </message>
    <message>
        <source>输出下限：</source>
        <translation>Output low:</translation>
    </message>
    <message>
        <source>输出上限：</source>
        <translation>Output high:</translation>
    </message>
    <message>
        <source>标准模式</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>体温模式</source>
        <translation>Body temp.</translation>
    </message>
    <message>
        <source>镭射:</source>
        <translation>Laser:</translation>
    </message>
    <message>
        <source>背光:</source>
        <translation>Backlight:</translation>
    </message>
    <message>
        <source>Modbus:</source>
        <translation>Modbus:</translation>
    </message>
    <message>
        <source>温度范围:</source>
        <translation>Range:</translation>
    </message>
    <message>
        <source>-</source>
        <translation>-</translation>
    </message>
    <message>
        <source>温度单位</source>
        <translation>Unit</translation>
    </message>
    <message>
        <source>℃</source>
        <translation>℃</translation>
    </message>
    <message>
        <source>℉</source>
        <translation>℉</translation>
    </message>
    <message>
        <source>恢复出厂设置</source>
        <translation>Factory reset</translation>
    </message>
    <message>
        <source>自适应</source>
        <translation>Fit</translation>
    </message>
    <message>
        <source>水平缩放</source>
        <translation>Zoom X</translation>
    </message>
    <message>
        <source>垂直缩放</source>
        <translation>Zoom Y</translation>
    </message>
    <message>
        <source>所有文件(*)</source>
        <translation>All files (*)</translation>
    </message>
    <message>
        <source>实时趋势</source>
        <translation>Live trend</translation>
    </message>
    <message>
        <source>已达到样本上限，记录已停止</source>
        <translation>Sample limit reached; the recording has stopped</translation>
    </message>
    <message>
        <source>添加标记</source>
        <translation>Add marker</translation>
    </message>
    <message>
        <source>触发记录…</source>
        <translation>Trigger…</translation>
    </message>
</context>
<context>
    <name>MarkerList</name>
    <message>
        <source>时间(秒)</source>
        <translation>Time (s)</translation>
    </message>
    <message>
        <source>标记</source>
        <translation>Marker</translation>
    </message>
</context>
<context>
    <name>MqttDialog</name>
    <message>
        <source>发布到 MQTT 代理</source>
        <translation>Publish to an MQTT broker</translation>
    </message>
    <message>
        <source>TLS 加密（校验证书）</source>
        <translation>TLS (certificate checked)</translation>
    </message>
    <message>
        <source>Home Assistant 自动发现</source>
        <translation>Home Assistant discovery</translation>
    </message>
    <message>
        <source>MQTT 设置</source>
        <translation>MQTT settings</translation>
    </message>
    <message>
        <source>系统证书</source>
        <translation>System certificates</translation>
    </message>
    <message>
        <source> 秒</source>
        <translation> s</translation>
    </message>
    <message>
        <source>浏览…</source>
        <translation>Browse…</translation>
    </message>
    <message>
        <source>CA 证书</source>
        <translation>CA certificate</translation>
    </message>
    <message>
        <source>证书 (*.pem *.crt);;所有文件 (*)</source>
        <translation>Certificates (*.pem *.crt);;All files (*)</translation>
    </message>
    <message>
        <source>代理主机</source>
        <translation>Broker host</translation>
    </message>
    <message>
        <source>端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>用户名</source>
        <translation>User</translation>
    </message>
    <message>
        <source>密码</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>主题前缀</source>
        <translation>Topic prefix</translation>
    </message>
    <message>
        <source>发布间隔</source>
        <translation>Publish interval</translation>
    </message>
    <message>
        <source>请填写代理主机</source>
        <translation>Please enter the broker host</translation>
    </message>
    <message>
        <source>主题前缀不能为空，不能含 + 或 #，首尾不能是 /</source>
        <translation>The topic prefix must not be empty, contain + or #, or begin or end with /</translation>
    </message>
</context>
<context>
    <name>MqttFeed</name>
    <message>
        <source>MQTT：关闭</source>
        <translation>MQTT: off</translation>
    </message>
    <message>
        <source>MQTT：已连接</source>
        <translation>MQTT: connected</translation>
    </message>
    <message>
        <source>MQTT：排队中</source>
        <translation>MQTT: queueing</translation>
    </message>
    <message>
        <source>MQTT：连接中</source>
        <translation>MQTT: connecting</translation>
    </message>
</context>
<context>
    <name>ParameterPanel</name>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>恢复出厂设置成功</source>
        <translation>Factory settings restored</translation>
    </message>
    <message>
        <source>恢复出厂设置失败</source>
        <translation>Factory reset failed</translation>
    </message>
    <message>
        <source>开启Modbus协议成功</source>
        <translation>Modbus protocol enabled</translation>
    </message>
    <message>
        <source>关闭Modbus协议成功</source>
        <translation>Modbus protocol disabled</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>On</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>记录进行中，仪器参数不能更改。请先停止记录。</source>
        <translation>A recording is running: the instrument&apos;s settings cannot be changed. Stop the recording first.</translation>
    </message>
    <message>
        <source>未连接仪器，参数不能更改。</source>
        <translation>No instrument connected: the settings cannot be changed.</translation>
    </message>
    <message>
        <source>实时</source>
        <translation>Real</translation>
    </message>
    <message>
        <source>峰值</source>
        <translation>Peak</translation>
    </message>
    <message>
        <source>谷值</source>
        <translation>Valley</translation>
    </message>
    <message>
        <source>高级峰值</source>
        <translation>Advanced peak</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
</context>
<context>
    <name>RecordFileFlows</name>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>正在记录曲线，请先停止！</source>
        <translation>Recording in progress. Stop it first!</translation>
    </message>
    <message>
        <source>没有记录数据，无需保存。</source>
        <translation>Nothing has been recorded: there is nothing to save.</translation>
    </message>
    <message>
        <source>导出数据成功</source>
        <translation>Export succeeded</translation>
    </message>
    <message>
        <source>信息已保存在%1！</source>
        <translation>Saved to %1!</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>图片 (*.png *.pdf)</source>
        <translation>Pictures (*.png *.pdf)</translation>
    </message>
    <message>
        <source>无法保存文件!</source>
        <translation>Cannot save the file!</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>恢复的记录中有%1行无法读取，已略过。</source>
        <translation>Lines of the restored recording that could not be read and were skipped: %1</translation>
    </message>
</context>
<context>
    <name>RecordFileJob</name>
    <message>
        <source>无法识别的文件格式!</source>
        <translation>Unrecognized file format!</translation>
    </message>
    <message>
        <source>文件中的数据超过%1个，超出曲线的最大数据量，未导入。</source>
        <translation>The file holds more than %1 samples, more than the chart keeps; nothing was imported.</translation>
    </message>
    <message>
        <source>内存不足</source>
        <translation>Out of memory</translation>
    </message>
    <message>
        <source>无法保存文件 %1。
原因：%2</source>
        <translation>Cannot save the file %1.
Reason: %2</translation>
    </message>
    <message>
        <source>无法打开文件 %1。
原因：%2</source>
        <translation>Cannot open the file %1.
Reason: %2</translation>
    </message>
</context>
<context>
    <name>RecordingMarkers</name>
    <message>
        <source>高温报警开始</source>
        <translation>High alarm started</translation>
    </message>
    <message>
        <source>低温报警开始</source>
        <translation>Low alarm started</translation>
    </message>
    <message>
        <source>报警结束</source>
        <translation>Alarm ended</translation>
    </message>
    <message>
        <source>单位 %1 → %2</source>
        <translation>Unit %1 → %2</translation>
    </message>
    <message>
        <source>仪器断开</source>
        <translation>Instrument lost</translation>
    </message>
    <message>
        <source>仪器恢复连接</source>
        <translation>Instrument back</translation>
    </message>
    <message>
        <source>发射率</source>
        <translation>Emissivity</translation>
    </message>
    <message>
        <source>透过率</source>
        <translation>Transmissivity</translation>
    </message>
    <message>
        <source>高温报警值</source>
        <translation>High alarm level</translation>
    </message>
    <message>
        <source>低温报警值</source>
        <translation>Low alarm level</translation>
    </message>
    <message>
        <source>高温报警开关</source>
        <translation>High alarm switch</translation>
    </message>
    <message>
        <source>低温报警开关</source>
        <translation>Low alarm switch</translation>
    </message>
    <message>
        <source>平均时间</source>
        <translation>Averaging time</translation>
    </message>
    <message>
        <source>保持时间</source>
        <translation>Hold time</translation>
    </message>
    <message>
        <source>保持模式</source>
        <translation>Hold mode</translation>
    </message>
    <message>
        <source>背光</source>
        <translation>Backlight</translation>
    </message>
    <message>
        <source>激光</source>
        <translation>Laser</translation>
    </message>
    <message>
        <source>量程模式</source>
        <translation>Range mode</translation>
    </message>
    <message>
        <source>%1 %2 → %3</source>
        <translation>%1 %2 → %3</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
</context>
<context>
    <name>RecordingPrompts</name>
    <message>
        <source>记录日志无法写入，记录只保存在内存中</source>
        <translation>The recording journal cannot be written; the recording is kept in memory only</translation>
    </message>
    <message>
        <source>记录尚未保存。退出前要保存吗？</source>
        <translation>The recording has not been saved. Save it before quitting?</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>放弃</source>
        <translation>Discard</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>设备未连接</source>
        <translation>Device not connected</translation>
    </message>
    <message>
        <source>记录尚未保存。开始新记录前要保存吗？</source>
        <translation>The recording has not been saved. Save it before starting a new one?</translation>
    </message>
    <message>
        <source>记录日志%1不是普通文件，已忽略</source>
        <translation>The recording journal %1 is not a regular file and was ignored</translation>
    </message>
    <message>
        <source>恢复记录</source>
        <translation>Restore recording</translation>
    </message>
    <message>
        <source>上次的记录没有保存就中断了。要恢复它吗？</source>
        <translation>The last recording ended without being saved. Restore it?</translation>
    </message>
    <message>
        <source>是</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>否</source>
        <translation>No</translation>
    </message>
    <message>
        <source>上一个未保存的记录已移至%1</source>
        <translation>The earlier unsaved recording was moved to %1</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>无法移动记录日志，它仍在%1</source>
        <translation>The recording journal could not be moved; it is still at %1</translation>
    </message>
    <message>
        <source>未恢复的记录已移至%1</source>
        <translation>The recording that was not restored was moved to %1</translation>
    </message>
    <message>
        <source>记录尚未保存。导入前要保存吗？</source>
        <translation>The recording has not been saved. Save it before importing?</translation>
    </message>
</context>
<context>
    <name>RelaySettingDialog</name>
    <message>
        <source>继电器输出</source>
        <translation>Relay outputs</translation>
    </message>
    <message>
        <source>第一路：</source>
        <translation>Relay 1:</translation>
    </message>
    <message>
        <source>第二路：</source>
        <translation>Relay 2:</translation>
    </message>
    <message>
        <source>报警类型</source>
        <translation>Alarm type</translation>
    </message>
    <message>
        <source>模式</source>
        <translation>Mode</translation>
    </message>
    <message>
        <source>高温</source>
        <translation>High</translation>
    </message>
    <message>
        <source>低温</source>
        <translation>Low</translation>
    </message>
    <message>
        <source>常开</source>
        <translation>Normally open</translation>
    </message>
    <message>
        <source>常闭</source>
        <translation>Normally closed</translation>
    </message>
</context>
<context>
    <name>TemperatureTile</name>
    <message>
        <source>CheckBox</source>
        <translation>CheckBox</translation>
    </message>
</context>
<context>
    <name>TileRow</name>
    <message>
        <source>实时值</source>
        <translation>Live</translation>
    </message>
    <message>
        <source>最大值</source>
        <translation>Max</translation>
    </message>
    <message>
        <source>最小值</source>
        <translation>Min</translation>
    </message>
    <message>
        <source>环温</source>
        <translation>Amb.</translation>
    </message>
    <message>
        <source>重命名…</source>
        <translation>Rename…</translation>
    </message>
</context>
<context>
    <name>TitleBar</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>00:00:00</source>
        <translation>00:00:00</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>设备</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>保存曲线</source>
        <translation>Save curve</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>仪器信息</source>
        <translation>Device info</translation>
    </message>
    <message>
        <source>表格设置</source>
        <translation>Chart settings</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>语言</source>
        <translation>Language</translation>
    </message>
</context>
<context>
    <name>TriggerDialog</name>
    <message>
        <source>第一次记录后停止</source>
        <translation>Stop after the first capture</translation>
    </message>
    <message>
        <source>触发记录</source>
        <translation>Triggered recording</translation>
    </message>
    <message>
        <source>温度高于</source>
        <translation>Temperature above</translation>
    </message>
    <message>
        <source>温度低于</source>
        <translation>Temperature below</translation>
    </message>
    <message>
        <source>变化快于</source>
        <translation>Changing faster than</translation>
    </message>
    <message>
        <source>报警开始</source>
        <translation>Alarm starts</translation>
    </message>
    <message>
        <source>触发条件：</source>
        <translation>Trigger:</translation>
    </message>
    <message>
        <source>值：</source>
        <translation>Value:</translation>
    </message>
    <message>
        <source>触发前保留：</source>
        <translation>Keep before trigger:</translation>
    </message>
    <message>
        <source>清除后继续：</source>
        <translation>Go on after it clears:</translation>
    </message>
</context>
<context>
    <name>UpdateRun</name>
    <message>
        <source>HTTP 状态 %1</source>
        <translation>HTTP status %1</translation>
    </message>
    <message>
        <source>无法读取发布的版本：%1</source>
        <translation>The published version could not be read: %1</translation>
    </message>
    <message>
        <source>发布的版本为空</source>
        <translation>The published version is empty.</translation>
    </message>
    <message>
        <source>发布的版本不是版本号</source>
        <translation>The published version is not a version number.</translation>
    </message>
    <message>
        <source>无法下载签名：%1</source>
        <translation>The signature could not be downloaded: %1</translation>
    </message>
    <message>
        <source>无法创建临时文件：%1</source>
        <translation>The temporary file could not be created: %1</translation>
    </message>
    <message>
        <source>无法下载安装程序：%1</source>
        <translation>The installer could not be downloaded: %1</translation>
    </message>
    <message>
        <source>无法设置安装程序的权限：%1</source>
        <translation>The installer&apos;s permissions could not be set: %1</translation>
    </message>
    <message>
        <source>无法放置安装程序：%1</source>
        <translation>The installer could not be put in place: %1</translation>
    </message>
</context>
<context>
    <name>WaitDialog</name>
    <message>
        <source>请稍候...</source>
        <translation>Please wait...</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>ZoomScale</name>
    <message>
        <source>放大</source>
        <translation>Zoom in</translation>
    </message>
    <message>
        <source>缩小</source>
        <translation>Zoom out</translation>
    </message>
</context>
</TS>
