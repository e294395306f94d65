#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into corpus/<target>/ from the shipped data,
the sample store and hand-made edge cases. Run from anywhere; it replaces the seed files it
makes and leaves other files (such as ones libFuzzer added) alone."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
SPLIT = b"\n=====\n"


def read(rel):
    with open(os.path.join(ROOT, rel), "rb") as f:
        return f.read()


def seeds(target, items):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    for name, data in items.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def packed(text):
    return struct.pack("<II", 0x01E76A1A, len(text)) + zlib.compress(text)


sample = read("data/samples/TeaShop/TeaShop.stp")
seeds("project_file", {
    "teashop.stp": sample,
    "small.stp": b"TIME=1\nVERSION=104000\nOWNER=Tolmi PRO\nNODE0=Home\nSTATUS=0\nFILE=index.html\n"
                 b"BODY=a@@@b\n#BRANCH\nNODE2=Shelf\nSTATUS=0\nTEMP=list.htm\n#BRANCH\n"
                 b"NODE1=Boot\nSTATUS=0\nCOST=9.95\nCODE=B1\nNN1=Colour:\n&1Red|\n&2XL|\n#EOB\n"
                 b"NODE4=Page\nSTATUS=-2\n#EOB\nNODE5=Link\nSTATUS=0\nLINK=http://x\n"
                 b"VAR=$V|1@@@2\n$AU0,1,2,3,4,5,6,7,8,9,10,11,12,5,|1\nRULE=0,r\nLAYOUT=Modern/Plain\n"
                 b"CURR=EUR\nFNAME=0,Air\nCC=1:Visa\nusd=t.js,1\nutd=a.gif,2\nP_PASS=041046\n",
    "cut.stp": sample[: len(sample) * 4 // 5],
    "crlf.stp": sample[:3000].replace(b"\n", b"\r\n"),
    "deep.stp": b"TIME=1\n" + b"NODE0=x\nSTATUS=0\n#BRANCH\n" * 60 + b"#EOB\n" * 30,
    "stray.stp": b"#EOB\n#BRANCH\nNODE9=x\nSTATUS=-99999999999\n$,\nRULE=7,\n&9x|\nNODE=\n",
})

orders = (b"#BEGIN\nTIME=1765000000\nVERSION=2034361\nOWNER=Tolmi PRO\n"
          b"NODE3=New Orders\nOS=0\nOD=0\nOI=\n#BRANCH\n"
          b"NODE1=1000\nOS=1\nOD=1765000000\nOI=77\n*Name=Ann Lee\n*Note=a=b=c\n*Amount=12.50\n"
          b"IN=Blue Mug\nIC=MUG-01\nIQ=3\nI1=Red\nIT=2.500000\nIX=0.000000\nIR=0.000000\n"
          b"IW=0.250000\nIF=0.000000\n#EOB\n"
          b"NODE2=Trash\nOS=0\nOD=0\nOI=\n#EOF\n")
seeds("orders_file", {
    "orders.ost": orders,
    "cut.ost": orders[:200],
    "headerless.ost": b"TIME=1\nNODE1=5\nOS=0\n",
    "nesting.ost": b"#BEGIN\nTIME=1\nNODE0=A\nOS=0\n#BRANCH\nNODE1=1\nOS=0\nNODE1=2\nOD=5\n"
                   b"NODE1=3\nOS=2\n#EOB\nNODE\nOS=0\n*NoEquals\nIQ=4\nIN=\nIQ=-7\n#EOF\n",
    "deep.ost": b"#BEGIN\nTIME=1\n" + b"NODE0=f\nOS=0\n#BRANCH\n" * 220 + b"#EOF\n",
})

config = (b"version=2.9.3.4361\nproduct=Tolmi PRO\nbrowser=/usr/bin/firefox\nserver=http://127.0.0.1:8080/\n"
          b"o_un=shop\nfile=/home/m/TeaShop.stp\nordernum=1042\nview=255\ndateformat=2\nL0=/a.stp\n"
          b"FIELD=Gift message,none\nFIELD=,x\no_password=041046\ngateway=Test Pay\nhost1=/hosting\n"
          b"server2=http://backup/\nuid=-2147483649\ncase=+7x\n")
seeds("config", {
    "config.ini": config + SPLIT + read("data/settings.dat"),
    "crlf.ini": config.replace(b"\n", b"\r\n"),
    "nosettings.ini": b"server=\nO_UN=X\nField=a,b\n",
})

seeds("settings_table", {
    "all.txt": b"server=http://x/\nport=8080\nsep=;\nlist=a,b,,c\nsound=1\ns=0\nPORT= -12abc\nsep=65\nsep=\n",
    "edge.txt": b"port=99999999999999\nport=-99999999999\nlist=\nsound=x\nsep=1234\nserver\n=\n",
})
seeds("settings_store", {
    "settings.ini": b"[Software\\BREVANTO\\Common]\nProxy=proxy:3128\nFirewall=2\n; comment\n\n[Other]\nk=v=w\n",
    "odd.ini": b"k=before any section\n[]\n[a]\n=no key\n[a]\nk= spaced  \r\n[x]y]\n#c\n",
})
seeds("packed_file", {
    "packed.dat": packed(b"KEY=value\nOTHER=1\n"),
    "empty.dat": packed(b""),
    "plain.dat": b"KEY=value\n",
    "short.dat": struct.pack("<II", 0x01E76A1A, 1000) + zlib.compress(b"abc")[:5],
    "huge.dat": struct.pack("<II", 0x01E76A1A, 0xFFFFFFFF) + zlib.compress(b"abc"),
})

seeds("schemes", {
    "shipped": read("data/scheme.dat") + SPLIT + read("data/template/harbour/Harbour.ini") + SPLIT + b"Modern/Harbour\n",
    "user": b"product=Tolmi PRO\nSTYLE=Mine\nSCHEMA=New Schema\nDEF=mine\nTYP=1\nINSTALL=x.dat\n"
            b"0=#FFFFFF\n12=Checkout\n40=x\nCLR=1,2,3,4\nSCF=a.gif\n" + SPLIT +
            b"-Group\n%S_X%,1,3,Label:,#000000\n%BULLET_F%,4,0,Bullet,b.gif\nF=a.css\nCLR=0,1,2\n" +
            SPLIT + b"Sorvida/New Schema\n",
})
seeds("engines", {
    "engines.dat": read("data/engines.dat"),
    "broken.dat": b"ID=1\nNAME=\nNAME=A\nNAME=A\nID=x\nMAP=1\nMAP=1,2\nCC=4\nCC=4:Visa\nODD=1\n",
})

seeds("product_import", {
    "products.csv": b",\"\"\x01\x0a\x0b\x0c\x0e" + b"Title,Price,Code,Desc\n"
                    b"\"Green, Tea\",4.50,G1,\"said \"\"hi\"\"\"\r\nMug;3,5|M1:x\n\n",
    "semicolon.csv": b";'\\,\x04\x0c\x05\x0e" + b"a;1,5;c\nb;2,0;d\n",
})

reply = (b"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 120\r\n\r\n"
         b"0\r\n#ID=7\r\norderdate=05122026153000\r\nName=Ann Lee\r\nAmount=9.00\r\n"
         b"PROD=15:2\tMug\tM1\t4.50\t\t\t\t\t\t\t\t\t\t\t<BR>\r\n")
seeds("server_reply", {
    "download.txt": reply,
    "bodyonly.txt": b"0\n#ID=8\norderdate=\nPROD=2:1\tPen\t<BR>\t3\tInk\tI\t1.5\t<BR>\n#ID=9\n",
    "error.txt": b"HTTP/1.0 200 OK\n\n5\r\n",
    "html.txt": b"HTTP/1.1 200 OK\r\n\r\n<html><body>Not the server</body></html>",
})
seeds("http_reply", {
    "ok.txt": b"HTTP/1.0 200 OK\r\nLast-Modified: Tue, 01 Dec 2026 10:00:00 GMT\r\nContent-Length: 5\r\n\r\nhello",
    "redirect.txt": b"HTTP/1.1 302 Found\r\nLocation: /next/page.htm\r\n\r\n",
    "relative.txt": b"HTTP/1.1 301 Moved\nLocation: other.htm\n\nsee http://else.example/",
    "url.txt": b"http://user@host.example:8080/path?q=1 HTTP/1.0\r\n\r\n",
})
seeds("ftp_reply", {
    "login.txt": b"220 Welcome\r\n331 Password required\r\n230-Hello\r\n230 Logged in\r\n",
    "pasv.txt": b"227 Entering Passive Mode (127,0,0,1,19,137).\r\n150 Ok\r\n226 Done\r\n",
    "partial.txt": b"257 \"/dir\" created\n421 Bye\r\n200 (1,2,3,4,5,6",
})
order_form = (b"tolmi_user=shop&tolmi_return=http%3A%2F%2Fshop.example%2Fregister.html&Name=Ann+Lee&"
              b"Email=ann%40example.com&Comments=Two%0D%0Alines&"
              b"tolmi_item=2%09Blue+Mug%09MUG-01%094.50%090.3%09%09%09%0910%090.90%091.00%09%09Red%09Large&"
              b"tolmi_item=1%09Pen%09P1%092.00&Amount=12.50&Freight=1.00&Tax=0.90")
seeds("server_request", {
    "order.txt": b"\n" + order_form,
    "download.txt": b"data=300shop%0Dsecret+word%0D29034361%0D\n",
    "delete.txt": b"data=301shop%0Dpw%0D2%0D7%0D8\n",
    "search.txt": b"q=green+tea&id=tolmi-store\n#1|'Green Tea'|'4.50'|'green.htm'||'g.pdf'|'Sencha'|tea\n"
                  b"#0|'Teas'|''|'teas.htm'|||||\n",
    "bad.txt": b"data=300%ZZ\ntolmi_user=&tolmi_item=%09%09&x=%",
})
seeds("html_tokenizer", {
    "shelf.htm": read("data/template/shelf.htm"),
    "summary4.htm": read("data/html/summary4.htm"),
    "order.htm": read("data/samples/TeaShop/template/order.htm"),
    "edge.htm": b"<!-- open <!- x <![CDATA[ y ]]> <script>a<b</script><style>p{}</STYLE>&amp &#123; &x;"
                b"<a href='x\"y>z</a><B>b</b><i><u>t. Next</u></i><!DOCTYPE html><unknown attr=1>\0<",
})
seeds("fill_template", {
    "category.htm": read("data/samples/TeaShop/template/category.htm"),
    "list.htm": read("data/samples/TeaShop/template/list.htm"),
    "blocks.htm": b"<html>$PAGETITLE $SHOPNAME $EMPTY <PRODUCT1>$TITLE $COST</PRODUCT1>"
                  b"<product2>$title<PRODUCT1>nested</PRODUCT1></product2><PRODUCT9>none</PRODUCT9>"
                  b"<PRODUCT3>unclosed $SHELF %FILE=inc.htm% %FILE=missing.htm% $UPDATED $CURRENCY"
                  b"<img src=\"$IMAGE\"> $BULLET_F %S_BGCOLOR% $MULTI</html>",
})
