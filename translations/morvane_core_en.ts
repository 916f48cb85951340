<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>Book</name>
    <message>
        <source>就绪</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>重名, 不能使用!</source>
        <translation>Name already used, cannot use it!</translation>
    </message>
    <message>
        <source>名字可以使用!</source>
        <translation>The name can be used!</translation>
    </message>
    <message>
        <source>在此输入项目名字</source>
        <translation>Enter the item name here</translation>
    </message>
    <message>
        <source>通讯簿超出支持的最大规模(%1万项, %2MB), 不能打开: %3</source>
        <translation>The book is larger than supported (%1 × 10,000 items, %2MB), cannot open: %3</translation>
    </message>
    <message>
        <source>通讯簿超出支持的最大规模(%1万项, %2MB), 不能保存: %3</source>
        <translation>The book is larger than supported (%1 × 10,000 items, %2MB), cannot save: %3</translation>
    </message>
    <message>
        <source>不能打开通讯簿: %1</source>
        <translation>Cannot open the book: %1</translation>
    </message>
    <message>
        <source>读文件异常：%1</source>
        <translation>Error reading the file: %1</translation>
    </message>
    <message>
        <source>通讯簿长度为零！%1</source>
        <translation>The book has zero length! %1</translation>
    </message>
    <message>
        <source>读长度为0:%1</source>
        <translation>Read length 0: %1</translation>
    </message>
    <message>
        <source>通讯簿未能通过MD5验证!%1</source>
        <translation>The book failed the MD5 check! %1</translation>
    </message>
    <message>
        <source>通讯簿密码MD5验证未能通过!重新输入打开通讯簿的密码!</source>
        <translation>The book password failed the MD5 check! Enter the password to open the book again!</translation>
    </message>
    <message>
        <source>不能保存成通讯簿: %1</source>
        <translation>Cannot save as a book: %1</translation>
    </message>
    <message>
        <source>密钥簿正被另一个程序使用, 无法写入: %1</source>
        <translation>The key book is in use by another program, cannot write: %1</translation>
    </message>
    <message>
        <source>密钥簿已被另一个程序修改, 无法写入: %1</source>
        <translation>The key book was changed by another program, cannot write: %1</translation>
    </message>
    <message>
        <source>不能保存成通讯簿: %1 (%2)</source>
        <translation>Cannot save as a book: %1 (%2)</translation>
    </message>
    <message>
        <source>将删除当前通讯簿, 继续吗?</source>
        <translation>The current book will be deleted. Continue?</translation>
    </message>
    <message>
        <source>需要保存通讯簿吗?</source>
        <translation>Save the book?</translation>
    </message>
    <message>
        <source>Book Files (*.Bk)</source>
        <translation>Book Files (*.Bk)</translation>
    </message>
    <message>
        <source>All Files (*.*)</source>
        <translation>All Files (*.*)</translation>
    </message>
    <message>
        <source>用几分钟在屏幕上移动鼠标产生随机数, 继续吗?</source>
        <translation>Move the mouse over the screen for a few minutes to make random numbers. Continue?</translation>
    </message>
    <message>
        <source>完成密钥随机化</source>
        <translation>Key randomization done</translation>
    </message>
    <message>
        <source>排    序</source>
        <translation>Sort</translation>
    </message>
    <message>
        <source>生成密钥</source>
        <translation>Generate key</translation>
    </message>
    <message>
        <source>停止生成</source>
        <translation>Stop generating</translation>
    </message>
    <message>
        <source>确认删除选定的 %1 个项目?</source>
        <translation>Delete the %1 selected items?</translation>
    </message>
    <message>
        <source>第 %1/%2 个</source>
        <translation>Result %1/%2</translation>
    </message>
    <message>
        <source>搜索无结果!</source>
        <translation>Nothing found!</translation>
    </message>
    <message>
        <source>搜索到 %1 个结果! 第 %2/%3 个</source>
        <translation>Found: %1! Result %2/%3</translation>
    </message>
    <message>
        <source>找到 %1 个素数. 调用程序%2次 检验大数 %3 个 用时%4秒 %5 ...(找到质数)</source>
        <translation>Found %1 primes. Run %2 times, tested %3 big numbers, took %4 s %5 ...(prime found)</translation>
    </message>
    <message>
        <source>找到 %1 个素数. 调用程序%2次 检验大数 %3 个 用时%4秒 %5 ...(未过费马测试)</source>
        <translation>Found %1 primes. Run %2 times, tested %3 big numbers, took %4 s %5 ...(failed the Fermat test)</translation>
    </message>
    <message>
        <source>找到 %1 个素数. 调用程序%2次 检验大数 %3 个 用时%4秒 %5 ...(超过大数生成资源范围, 再重试一次)</source>
        <translation>Found %1 primes. Run %2 times, tested %3 big numbers, took %4 s %5 ...(beyond the big number range, trying again)</translation>
    </message>
    <message>
        <source>找到 %1 个素数. 调用程序%2次 检验大数 %3 个 用时%4秒 %5 ...(生成大数)</source>
        <translation>Found %1 primes. Run %2 times, tested %3 big numbers, took %4 s %5 ...(making a big number)</translation>
    </message>
    <message>
        <source>找到 %1 个素数. 调用程序%2次 检验大数 %3 个 用时%4秒 %5 ...(随机数验证素数)</source>
        <translation>Found %1 primes. Run %2 times, tested %3 big numbers, took %4 s %5 ...(checking the prime with a random number)</translation>
    </message>
    <message>
        <source>找到 %1 个素数. 调用程序%2次 检验大数 %3 个 用时%4秒 %5 ...(e与lcm非互质)</source>
        <translation>Found %1 primes. Run %2 times, tested %3 big numbers, took %4 s %5 ...(e and lcm not coprime)</translation>
    </message>
    <message>
        <source>密钥生成OK. 耗时 %1 秒, 发现 %2 个质数, 测试 %3 个大数, 速度大于 1000 个大数/秒</source>
        <translation>Key generated. Took %1 s, found %2 primes, tested %3 big numbers, speed above 1000 big numbers/s</translation>
    </message>
    <message>
        <source>密钥生成OK. 耗时 %1 秒, 发现 %2 个质数, 测试 %3 个大数, 速度 %4 个大数/秒</source>
        <translation>Key generated. Took %1 s, found %2 primes, tested %3 big numbers, speed %4 big numbers/s</translation>
    </message>
    <message>
        <source>找到 %1 个素数. 调用程序%2次 检验大数 %3 个 用时%4秒 %5 ...</source>
        <translation>Found %1 primes. Run %2 times, tested %3 big numbers, took %4 s %5 ...</translation>
    </message>
    <message>
        <source>原有的密钥数据将被删除, 继续吗?</source>
        <translation>The existing key data will be deleted. Continue?</translation>
    </message>
    <message>
        <source>终止计算! 在计算进行(%1 秒)后</source>
        <translation>Computation stopped! After %1 s of computing</translation>
    </message>
    <message>
        <source>发生错误 = %1! 在计算进行(%2 秒)后</source>
        <translation>Error = %1! After %2 s of computing</translation>
    </message>
    <message>
        <source>密码数据不全, 重新设定密码数据</source>
        <translation>The key data is incomplete; set up the key data again</translation>
    </message>
    <message>
        <source>在同一父代下选择项目!</source>
        <translation>Select items under the same parent!</translation>
    </message>
    <message>
        <source>&lt;目录&gt;:  &quot;%1&quot; 重名</source>
        <translation>&lt;Directory&gt;:  &quot;%1&quot; name already used</translation>
    </message>
    <message>
        <source>确认删除选定的 &lt;目录&gt;: &quot;%1&quot;?</source>
        <translation>Delete the selected &lt;Directory&gt;: &quot;%1&quot;?</translation>
    </message>
    <message>
        <source>&lt;锁&gt;:  &quot;%1&quot; 重名</source>
        <translation>&lt;Lock&gt;:  &quot;%1&quot; name already used</translation>
    </message>
    <message>
        <source>确认删除选定的 &lt;锁&gt;: &quot;%1&quot;?</source>
        <translation>Delete the selected &lt;Lock&gt;: &quot;%1&quot;?</translation>
    </message>
    <message>
        <source>&lt;钥匙&gt;:  &quot;%1&quot; 重名</source>
        <translation>&lt;Key&gt;:  &quot;%1&quot; name already used</translation>
    </message>
    <message>
        <source>确认删除选定的 &lt;钥匙&gt;: &quot;%1&quot;?</source>
        <translation>Delete the selected &lt;Key&gt;: &quot;%1&quot;?</translation>
    </message>
    <message>
        <source>&lt;签字&gt;:  &quot;%1&quot; 重名</source>
        <translation>&lt;Signature&gt;:  &quot;%1&quot; name already used</translation>
    </message>
    <message>
        <source>确认删除选定的 &lt;签字&gt;: &quot;%1&quot;?</source>
        <translation>Delete the selected &lt;Signature&gt;: &quot;%1&quot;?</translation>
    </message>
    <message>
        <source>&lt;警察&gt;:  &quot;%1&quot; 重名</source>
        <translation>&lt;Police&gt;:  &quot;%1&quot; name already used</translation>
    </message>
    <message>
        <source>确认删除选定的 &lt;警察&gt;: &quot;%1&quot;?</source>
        <translation>Delete the selected &lt;Police&gt;: &quot;%1&quot;?</translation>
    </message>
    <message>
        <source>不能打开随机数种子文件: %1</source>
        <translation>Cannot open the random seed file: %1</translation>
    </message>
    <message>
        <source>不能读随机数种子文件: %1</source>
        <translation>Cannot read the random seed file: %1</translation>
    </message>
    <message>
        <source>密码MD5验证未能通过!</source>
        <translation>The password failed the MD5 check!</translation>
    </message>
    <message>
        <source>确认此软件仅用于合法用途</source>
        <translation>Confirm that this software is used for lawful purposes only</translation>
    </message>
    <message>
        <source>退出。由于不能打开运行文件: %1</source>
        <translation>Exiting. Cannot open the run file: %1</translation>
    </message>
    <message>
        <source>不能读运行文件: %1</source>
        <translation>Cannot read the run file: %1</translation>
    </message>
    <message>
        <source>运行文件内容错误!</source>
        <translation>The run file&apos;s content is wrong!</translation>
    </message>
    <message>
        <source>运行文件不存在, 需要重新建立</source>
        <translation>The run file does not exist and must be created again</translation>
    </message>
    <message>
        <source>不能写运行文件: %1</source>
        <translation>Cannot write the run file: %1</translation>
    </message>
    <message>
        <source>退出。由于不能建立运行文件: %1</source>
        <translation>Exiting. Cannot create the run file: %1</translation>
    </message>
</context>
<context>
    <name>Crypto</name>
    <message>
        <source>不能打开随机数种子文件: %1</source>
        <translation>Cannot open the random seed file: %1</translation>
    </message>
    <message>
        <source>文件长度错误</source>
        <translation>Wrong file length</translation>
    </message>
    <message>
        <source>不能解密随机数种子文件: %1</source>
        <translation>Cannot decrypt the random seed file: %1</translation>
    </message>
    <message>
        <source>随机数种子文件MD5验证未能通过!</source>
        <translation>The random seed file failed the MD5 check!</translation>
    </message>
    <message>
        <source>无随机数种子文件: %1</source>
        <translation>No random seed file: %1</translation>
    </message>
</context>
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
<context>
    <name>Message</name>
    <message>
        <source>UnDo</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>复    制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>剪    切</source>
        <translation>Cut</translation>
    </message>
    <message>
        <source>删    除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>复制全文</source>
        <translation>Copy all</translation>
    </message>
    <message>
        <source>剪切全文</source>
        <translation>Cut all</translation>
    </message>
    <message>
        <source>删除全文</source>
        <translation>Delete all</translation>
    </message>
    <message>
        <source>全    选</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>粘    贴</source>
        <translation>Paste</translation>
    </message>
    <message>
        <source>粘贴并删除原文</source>
        <translation>Paste and delete the original</translation>
    </message>
    <message>
        <source>弱    512 Bits</source>
        <translation>Weak 512 Bits</translation>
    </message>
    <message>
        <source>中   1024 Bits</source>
        <translation>Medium 1024 Bits</translation>
    </message>
    <message>
        <source>强   2048 Bits</source>
        <translation>Strong 2048 Bits</translation>
    </message>
    <message>
        <source>超强 4096 Bits</source>
        <translation>Very strong 4096 Bits</translation>
    </message>
    <message>
        <source>改变加密强度, 密钥数据将作废, 继续吗?</source>
        <translation>Changing the strength makes the key data void. Continue?</translation>
    </message>
    <message>
        <source>加 密</source>
        <translation>Encrypt</translation>
    </message>
    <message>
        <source>签字后加密</source>
        <translation>Sign and encrypt</translation>
    </message>
    <message>
        <source>单步运算</source>
        <translation>Single step</translation>
    </message>
    <message>
        <source>解 密</source>
        <translation>Decrypt</translation>
    </message>
    <message>
        <source>输入含有控制字符或 GBK 以外的字符, 不能加密!</source>
        <translation>The input holds control characters or characters outside GBK, cannot encrypt!</translation>
    </message>
    <message>
        <source>内容已被签字, 要求同一目录下必须有MD5值匹配的唯一 &lt;锁&gt; 项目! 但现在匹配的 &lt;锁&gt; 项目有 &lt;%1&gt; 项。</source>
        <translation>The content is signed: the same directory must hold exactly one &lt;Lock&gt; item with a matching MD5! But there are &lt;%1&gt; matching &lt;Lock&gt; items.</translation>
    </message>
    <message>
        <source>若要签字, 要求同一目录下必须有唯一 &lt;钥匙&gt; 项目!%1</source>
        <translation>To sign, the same directory must hold exactly one &lt;Key&gt; item!%1</translation>
    </message>
    <message>
        <source>对方的公布的锁数据不完整!</source>
        <translation>The partner&apos;s published lock data is incomplete!</translation>
    </message>
    <message>
        <source>自己的私钥数据不完整!</source>
        <translation>Your own private key data is incomplete!</translation>
    </message>
    <message>
        <source>签字并加密完成! 用时 %1 秒</source>
        <translation>Sign and encrypt done! Took %1 s</translation>
    </message>
    <message>
        <source>加密完成! 用时 %1 秒</source>
        <translation>Encryption done! Took %1 s</translation>
    </message>
    <message>
        <source>解密完成! 用时 %1 秒</source>
        <translation>Decryption done! Took %1 s</translation>
    </message>
    <message>
        <source>输入不能为空</source>
        <translation>The input cannot be empty</translation>
    </message>
    <message>
        <source> &lt;%1&gt; 的签字通过验证, 解密完成! 用时 %2 秒</source>
        <translation>The signature of &lt;%1&gt; is verified, decryption done! Took %2 s</translation>
    </message>
    <message>
        <source>解密结果含有零字节, 不是有效的文本, 解密失败!</source>
        <translation>The decrypted result holds a zero byte and is no valid text. Decryption failed!</translation>
    </message>
    <message>
        <source>密码数据不完整, 无法输出公钥!</source>
        <translation>The key data is incomplete, cannot export the public key!</translation>
    </message>
    <message>
        <source>密码数据不能正确加解密, 重新生成密钥与公钥!</source>
        <translation>The key data does not encrypt and decrypt correctly; generate the key and public key again!</translation>
    </message>
    <message>
        <source>输出公钥OK!</source>
        <translation>Public key exported!</translation>
    </message>
    <message>
        <source>发现新公钥, 替换原有公钥吗?</source>
        <translation>A new public key was found. Replace the existing public key?</translation>
    </message>
    <message>
        <source>单步签字完成!继续按键进行单步加密</source>
        <translation>Single-step signing done! Press on to encrypt step by step</translation>
    </message>
    <message>
        <source>单步签字并加密完成!</source>
        <translation>Single-step sign and encrypt done!</translation>
    </message>
    <message>
        <source>单步加密完成!</source>
        <translation>Single-step encryption done!</translation>
    </message>
</context>
</TS>
