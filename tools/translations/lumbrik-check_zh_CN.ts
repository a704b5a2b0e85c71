<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>lumbrik-check</name>
    <message>
        <source>usage: lumbrik-check [--json] [--explain] [-j N] FILE|DIR...
</source>
        <translation>用法：lumbrik-check [--json] [--explain] [-j N] 文件|文件夹...
</translation>
    </message>
    <message>
        <source>Checks whether electronic vouchers have been altered since they were sealed.
A folder stands for every *.png below it.

  --json       one JSON object per file instead of a line of text
  --explain    say why, with byte offsets
  -j N         check N files at once (default: one per processor)
  --help       show this help and exit
  --version    show the version and exit

Exit status: 0 if every file is intact, 1 if any is altered or not a voucher,
2 for a usage error or a file or folder that could not be read.
</source>
        <translation>检查电子票据自加封以来是否被篡改。
文件夹代表其下所有的 *.png 文件。

  --json       每个文件输出一个 JSON 对象，而不是一行文字
  --explain    说明原因，附字节偏移
  -j N         同时检查 N 个文件（默认：每个处理器一个）
  --help       显示本帮助并退出
  --version    显示版本并退出

退出状态：所有文件都完好时为 0；有文件被篡改或不是电子票据时为 1；
用法错误或有文件、文件夹无法读取时为 2。
</translation>
    </message>
    <message>
        <source>lumbrik-check: -j needs a whole number of at least 1
</source>
        <translation>lumbrik-check：-j 需要一个不小于 1 的整数
</translation>
    </message>
    <message>
        <source>lumbrik-check: unknown option &apos;%1&apos;
</source>
        <translation>lumbrik-check：未知选项“%1”
</translation>
    </message>
    <message>
        <source>lumbrik-check: no file named
</source>
        <translation>lumbrik-check：没有指定文件
</translation>
    </message>
    <message>
        <source>lumbrik-check: no *.png below %1
</source>
        <translation>lumbrik-check：%1 下没有 *.png 文件
</translation>
    </message>
    <message>
        <source>%1/%2 checked, %3 files/s</source>
        <translation>已检查 %1/%2，每秒 %3 个文件</translation>
    </message>
    <message>
        <source>%1 checked: %2 intact, %3 altered, %4 not vouchers, %5 unreadable, in %6 s
</source>
        <translation>共检查 %1 个：完好 %2 个，被篡改 %3 个，不是电子票据 %4 个，无法读取 %5 个，用时 %6 秒
</translation>
    </message>
</context>
</TS>
