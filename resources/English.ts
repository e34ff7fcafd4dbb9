<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1">
<context>
    <name>AboutDialog</name>
    <message>
        <source>关于</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>版本号:1.0.0.1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>版本更新</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copyright © Tevrano. 保留所有权利。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>更新失败</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已经是最新版本</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AmbrelTitalbar</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>00:00:00</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>文件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设备</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>帮助</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存曲线</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>退出</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>仪器信息</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>表格设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关于</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>语言</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ChartSettingsDialog</name>
    <message>
        <source>天,</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>时,</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>分,</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>秒,</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>分</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>秒</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>图表参数设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最大数据量:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1000X</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>记录间隔:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>记录时长:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>内存:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DeviceInfoDialog</name>
    <message>
        <source>仪器信息</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>日期:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>序号:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>温度范围:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>模拟仪器</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打开设备</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打开</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关闭</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>开始</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>暂停</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>全局</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>环温</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>实时值</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最大值</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最小值</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已选择:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>波特率:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>找不到合适COM</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>错误</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法连接设备</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法打开端口</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关闭设备</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>提示</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>恢复出厂设置失败</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>开启Modbus协议成功</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关闭Modbus协议成功</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>恢复出厂设置成功</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打开记录</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存记录</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>退出</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>仪器信息</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>表格设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>继电器设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关于</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>显示</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>隐藏</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>语言</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>参数设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>仪器中断</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>正在记录数据，请先停止！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>选择文件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>文件(*.txt*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>停止</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>继续</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tevrano</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>文件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设备</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>帮助</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>串口号：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>波特率：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>自动轮询</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>放射率：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>透过率：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保持模式：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保持时间：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>平均时间：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>高级保持阈值：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>高温报警</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>低温报警</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>模拟输出：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>输出下限：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>输出上限：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>标准模式</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>体温模式</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>镭射:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>背光:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Modbus:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>温度范围:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>温度单位</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>℃</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>℉</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>恢复出厂设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>自适应</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>水平缩放</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>垂直缩放</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RelaySettingDialog</name>
    <message>
        <source>继电器输出</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>第一路：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>第二路：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>报警类型</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>模式</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>高温</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>低温</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>常开</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>常闭</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TempAreaItem</name>
    <message>
        <source>CheckBox</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>WaitDialog</name>
    <message>
        <source>请稍候...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>WriteFileThread</name>
    <message>
        <source>无法保存文件!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法识别的文件格式!</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ttwidget</name>
    <message>
        <source>℉</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>℃</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>开始</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>暂停</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>全局</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>水平缩放</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>垂直缩放</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存曲线</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>时间(秒)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>温度(℃)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>实温</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>环温</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>温度(℉)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>停止</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>继续</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>提示</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>记录数据结束</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>错误</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>正在记录曲线，请先停止！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>导出数据成功</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>信息已保存在%1！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>确定</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>模式1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>模式2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
