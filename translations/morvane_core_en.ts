<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>Detail</name>
    <message>
        <source>正文编码(%1字节): </source>
        <translation>Message encoding (%1 bytes): </translation>
    </message>
    <message>
        <source>预留字节(%1字节): </source>
        <translation>Reserved (%1 bytes): </translation>
    </message>
    <message>
        <source>明文属性(%1字节): </source>
        <translation>Plaintext attributes (%1 bytes): </translation>
    </message>
    <message>
        <source>加密强度(%1字节): </source>
        <translation>Encryption strength (%1 bytes): </translation>
    </message>
    <message>
        <source>填充类型(%1字节): </source>
        <translation>Padding type (%1 bytes): </translation>
    </message>
    <message>
        <source>加密长度(%1字节): </source>
        <translation>Encrypted length (%1 bytes): </translation>
    </message>
    <message>
        <source>段落序号(%1字节): </source>
        <translation>Block number (%1 bytes): </translation>
    </message>
    <message>
        <source>消耗长度(%1字节): </source>
        <translation>Consumed length (%1 bytes): </translation>
    </message>
    <message>
        <source>填充数据(%1字节): </source>
        <translation>Padding data (%1 bytes): </translation>
    </message>
    <message>
        <source>前置正文(%1字节): </source>
        <translation>Leading text (%1 bytes): </translation>
    </message>
    <message>
        <source>合成数据(%1字节): </source>
        <translation>Combined data (%1 bytes): </translation>
    </message>
    <message>
        <source>签字标志(%1字节): </source>
        <translation>Signature flag (%1 bytes): </translation>
    </message>
    <message>
        <source>MD5值   (%1字节): </source>
        <translation>MD5 value (%1 bytes): </translation>
    </message>
    <message>
        <source>后置正文(%1字节): </source>
        <translation>Trailing text (%1 bytes): </translation>
    </message>
    <message>
        <source>明文长度(%1字节): </source>
        <translation>Plaintext length (%1 bytes): </translation>
    </message>
    <message>
        <source> 后置正文(%1字节): </source>
        <translation>Trailing text (%1 bytes): </translation>
    </message>
</context>
<context>
    <name>Field</name>
    <message>
        <source>输    入: </source>
        <translation>Input: </translation>
    </message>
    <message>
        <source>输    出: </source>
        <translation>Output: </translation>
    </message>
    <message>
        <source>序    号: </source>
        <translation>Serial: </translation>
    </message>
    <message>
        <source>身    份: </source>
        <translation>Identity: </translation>
    </message>
    <message>
        <source>电    邮: </source>
        <translation>Email: </translation>
    </message>
    <message>
        <source>使用次数: </source>
        <translation>Uses: </translation>
    </message>
    <message>
        <source>强    度: </source>
        <translation>Strength: </translation>
    </message>
    <message>
        <source>使用日期: </source>
        <translation>Date used: </translation>
    </message>
    <message>
        <source>附加说明: </source>
        <translation>Note: </translation>
    </message>
    <message>
        <source>N     值: </source>
        <translation>N value: </translation>
    </message>
    <message>
        <source>E     值: </source>
        <translation>E value: </translation>
    </message>
    <message>
        <source>D     值: </source>
        <translation>D value: </translation>
    </message>
    <message>
        <source>P     值: </source>
        <translation>P value: </translation>
    </message>
    <message>
        <source>Q     值: </source>
        <translation>Q value: </translation>
    </message>
    <message>
        <source>U     值: </source>
        <translation>U value: </translation>
    </message>
    <message>
        <source>计算前编码细节</source>
        <translation>Details before computing</translation>
    </message>
    <message>
        <source>计算后编码细节</source>
        <translation>Details after computing</translation>
    </message>
</context>
<context>
    <name>Menu</name>
    <message>
        <source>设定软件登录密码</source>
        <translation>Set login password</translation>
    </message>
    <message>
        <source>新建密钥簿</source>
        <translation>New key book</translation>
    </message>
    <message>
        <source>打开密钥簿...</source>
        <translation>Open key book...</translation>
    </message>
    <message>
        <source>保存密钥簿</source>
        <translation>Save key book</translation>
    </message>
    <message>
        <source>另存为...</source>
        <translation>Save as...</translation>
    </message>
    <message>
        <source>UnDo</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>ReDo</source>
        <translation>Redo</translation>
    </message>
    <message>
        <source>搜    索...</source>
        <translation>Find...</translation>
    </message>
    <message>
        <source>添    加...</source>
        <translation>Add...</translation>
    </message>
    <message>
        <source>按类型</source>
        <translation>By type</translation>
    </message>
    <message>
        <source>按名字</source>
        <translation>By name</translation>
    </message>
    <message>
        <source>按强度</source>
        <translation>By strength</translation>
    </message>
    <message>
        <source>按建立日期</source>
        <translation>By creation date</translation>
    </message>
    <message>
        <source>剪    切</source>
        <translation>Cut</translation>
    </message>
    <message>
        <source>复    制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>粘    贴</source>
        <translation>Paste</translation>
    </message>
    <message>
        <source>删    除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>清理前次计算痕迹</source>
        <translation>Clear traces of the last computation</translation>
    </message>
    <message>
        <source>将选定项目复制至此</source>
        <translation>Copy selected items here</translation>
    </message>
    <message>
        <source>将选定项目剪切至此</source>
        <translation>Cut selected items here</translation>
    </message>
    <message>
        <source>输出公钥</source>
        <translation>Export public key</translation>
    </message>
    <message>
        <source>生成密钥的随机度</source>
        <translation>Randomness for key generation</translation>
    </message>
    <message>
        <source>生成密钥</source>
        <translation>Generate key</translation>
    </message>
    <message>
        <source>关    于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>排    序</source>
        <translation>Sort</translation>
    </message>
    <message>
        <source>停止生成</source>
        <translation>Stop generating</translation>
    </message>
</context>
</TS>
