// The glue between Qt and the core: prompt texts, the core event loop driven
// from Qt's loop, and the pump hook.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QtTest>

#include "net/EventLoop.h"
#include "ui/EventLoopBridge.h"
#include "ui/QtPrompter.h"
#include "util/PumpMessages.h"

using namespace tolmi;

class GlueTest : public QObject {
  Q_OBJECT
 private slots:
  void promptTextLineBreaks_data() {
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("crlf") << "a\r\nb" << "a\nb";
    QTest::newRow("lone cr") << "a\rb\r" << "a\nb\n";
    QTest::newRow("lf kept") << "a\nb" << "a\nb";
    QTest::newRow("utf8") << QString::fromUtf8("Gr\xc3\xbcn\r\n") << QString::fromUtf8("Gr\xc3\xbcn\n");
  }
  void promptTextLineBreaks() {
    QFETCH(QString, in);
    QFETCH(QString, out);
    QCOMPARE(ui::PromptText(in.toStdString()), out);
  }

  void bridgeRunsTasksAndTimers() {
    EventLoop loop;
    ui::EventLoopBridge bridge(loop);
    int ticks = 0;
    bool posted = false;
    loop.StartTimer(1, 5, [&] { ++ticks; });
    loop.Post([&] { posted = true; });
    bridge.Poke();
    QTRY_VERIFY(posted);
    QTRY_VERIFY(ticks >= 2);
    loop.StopTimer(1);
  }

  void pumpHookRunsCoreLoopAndIsRemoved() {
    EventLoop loop;
    bool ran = false;
    {
      ui::EventLoopBridge bridge(loop);
      loop.Post([&] { ran = true; });
      PumpMessages();
      QVERIFY(ran);
    }
    ran = false;
    loop.Post([&] { ran = true; });
    PumpMessages();  // the hook left with the bridge
    QVERIFY(!ran);
  }
};

QTEST_MAIN(GlueTest)
#include "GlueTest.moc"
