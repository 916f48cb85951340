<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>morvane::AboutDialog</name>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>morvane::AddItemDialog</name>
    <message>
        <source>添加项目</source>
        <translation>Add item</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>目录</source>
        <translation>Directory</translation>
    </message>
    <message>
        <source>钥匙</source>
        <translation>Key</translation>
    </message>
    <message>
        <source>锁</source>
        <translation>Lock</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>morvane::FindDialog</name>
    <message>
        <source>按名称类别搜索通讯簿</source>
        <translation>Find in the book by name and kind</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>目录</source>
        <translation>Directories</translation>
    </message>
    <message>
        <source>钥匙</source>
        <translation>Keys</translation>
    </message>
    <message>
        <source>锁</source>
        <translation>Locks</translation>
    </message>
    <message>
        <source>前一项</source>
        <translation>Previous</translation>
    </message>
    <message>
        <source>后一项</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>搜索</source>
        <translation>Find</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>morvane::IdleLock</name>
    <message>
        <source>锁定(&amp;L)</source>
        <translation>&amp;Lock</translation>
    </message>
    <message>
        <source>已锁定</source>
        <translation>Locked</translation>
    </message>
    <message>
        <source>密码MD5验证未能通过!</source>
        <translation>The password failed the MD5 check!</translation>
    </message>
</context>
<context>
    <name>morvane::MainWindow</name>
    <message>
        <source>加密中:</source>
        <translation>Encrypting:</translation>
    </message>
    <message>
        <source>解密中:</source>
        <translation>Decrypting:</translation>
    </message>
    <message>
        <source>随机数生成中:</source>
        <translation>Generating random numbers:</translation>
    </message>
    <message>
        <source>签字中:</source>
        <translation>Signing:</translation>
    </message>
    <message>
        <source>验证签字中:</source>
        <translation>Checking the signature:</translation>
    </message>
    <message>
        <source>密钥通讯薄</source>
        <translation>Key book</translation>
    </message>
    <message>
        <source>访问软件主站 %1</source>
        <translation>Visit the home page %1</translation>
    </message>
    <message>
        <source>在这里输入</source>
        <translation>Type here</translation>
    </message>
    <message>
        <source>访问软件主站，确定吗？</source>
        <translation>Visit the program&apos;s home page?</translation>
    </message>
    <message>
        <source>还原(&amp;R)</source>
        <translation>&amp;Restore</translation>
    </message>
    <message>
        <source>最小化(&amp;N)</source>
        <translation>Mi&amp;nimize</translation>
    </message>
    <message>
        <source>最大化(&amp;X)</source>
        <translation>Ma&amp;ximize</translation>
    </message>
    <message>
        <source>关闭(&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>关于 Morvane(&amp;A)...</source>
        <translation>&amp;About Morvane...</translation>
    </message>
    <message>
        <source>输入框</source>
        <translation>Input box</translation>
    </message>
    <message>
        <source>输出框</source>
        <translation>Output box</translation>
    </message>
    <message>
        <source>强度</source>
        <translation>Strength</translation>
    </message>
    <message>
        <source>进度</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>分隔条</source>
        <translation>Splitter</translation>
    </message>
    <message>
        <source>操作1</source>
        <translation>Action 1</translation>
    </message>
    <message>
        <source>操作2</source>
        <translation>Action 2</translation>
    </message>
    <message>
        <source>单步运算</source>
        <translation>Single step</translation>
    </message>
    <message>
        <source>最小化</source>
        <translation>Minimize</translation>
    </message>
    <message>
        <source>还原</source>
        <translation>Restore</translation>
    </message>
    <message>
        <source>最大化</source>
        <translation>Maximize</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>确认退出吗?</source>
        <translation>Quit now?</translation>
    </message>
</context>
<context>
    <name>morvane::NameClashDialog</name>
    <message>
        <source>重名警告!</source>
        <translation>Name already used!</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>morvane::PasswordDialog</name>
    <message>
        <source>输入密码</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>再次输入密码以确认</source>
        <translation>Confirm password</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>两次输入的密码不相符, 重新输入!</source>
        <translation>The two passwords differ, enter them again!</translation>
    </message>
    <message>
        <source>输入密码:</source>
        <translation>Password:</translation>
    </message>
    <message>
        <source>再次输入密码以确认:</source>
        <translation>Confirm password:</translation>
    </message>
    <message>
        <source>设定系统登录密码</source>
        <translation>Set the login password</translation>
    </message>
    <message>
        <source>输入密码登录应用</source>
        <translation>Enter the password to log in</translation>
    </message>
    <message>
        <source>输入密码保存通讯簿</source>
        <translation>Enter the password to save the book</translation>
    </message>
    <message>
        <source>确认原有密码</source>
        <translation>Confirm the old password</translation>
    </message>
</context>
<context>
    <name>morvane::PreferencesDialog</name>
    <message>
        <source>首选项</source>
        <translation>Preferences</translation>
    </message>
    <message>
        <source>剪贴板清除时间（秒）</source>
        <translation>Clear the clipboard after (seconds)</translation>
    </message>
    <message>
        <source>自动锁定时间（分钟，0 为不锁定）</source>
        <translation>Lock when idle for (minutes, 0: never)</translation>
    </message>
    <message>
        <source>跟随系统</source>
        <translation>As the desktop</translation>
    </message>
    <message>
        <source>界面语言</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>界面语言在下次启动时生效。</source>
        <translation>The language changes at the next start.</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>morvane::QtDesktop</name>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>是(&amp;Y)</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>否(&amp;N)</source>
        <translation>&amp;No</translation>
    </message>
</context>
<context>
    <name>morvane::Safeguards</name>
    <message>
        <source>首选项(&amp;P)...</source>
        <translation>&amp;Preferences...</translation>
    </message>
    <message>
        <source>不能写设置文件: %1</source>
        <translation>Cannot write the settings file: %1</translation>
    </message>
</context>
</TS>
