// The node page: fields per kind, texts shown decoded and applied back in the
// encoding they were read in, the change mark and the tree label after an apply,
// and the picture preview for readable, missing and broken files.
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QtTest>

#include "tests/ui/support/MainWindowFixture.h"
#include "ui/NodePage.h"
#include "ui/ProjectTreeModel.h"
#include "ui/widgets/ImagePreview.h"

using namespace tolmi;
using test::WindowShop;

class NodePageTest : public QObject {
  Q_OBJECT

  static QLineEdit* Line(WindowShop& shop, const char* name) {
    auto* edit = shop.window->findChild<QLineEdit*>(QLatin1String(name));
    if (!edit) qFatal("no %s", name);
    return edit;
  }
  static bool Shown(WindowShop& shop, const char* name) {
    return !shop.window->findChild<QWidget*>(QLatin1String(name))->isHidden();
  }

 private slots:
  void fieldsFollowTheKind() {
    WindowShop shop;
    shop.Show();
    struct Row {
      NodeKind kind;
      bool inside;
      bool code, page, fileEditable, body;
    };
    const Row rows[] = {
        {NodeKind::Category, false, false, true, true, true},
        {NodeKind::Product, false, true, true, true, true},
        {NodeKind::Product, true, true, false, false, true},
        {NodeKind::Page, false, false, true, true, true},
        {NodeKind::Link, false, false, false, true, false},
    };
    for (const Row& r : rows) {
      shop.window->SelectNode(shop.NodeOfKind(r.kind, r.inside));
      QCOMPARE(Shown(shop, "codeEdit"), r.code);
      QCOMPARE(Shown(shop, "pageEdit"), r.page);
      QCOMPARE(Shown(shop, "bodyEdit"), r.body);
      if (r.kind != NodeKind::Link) QCOMPARE(!Line(shop, "fileEdit")->isReadOnly(), r.fileEditable);
    }
    // An item of a shelf shows the shelf's file.
    StoreNode* item = shop.NodeOfKind(NodeKind::Product, true);
    shop.window->SelectNode(item);
    QCOMPARE(Line(shop, "fileEdit")->text().toStdString(), item->parent->file);
  }

  void applyOnLeavingAFieldMarksTheProject() {
    WindowShop shop;
    shop.Show();
    StoreNode* product = shop.NodeOfKind(NodeKind::Product);
    shop.window->SelectNode(product);
    QSignalSpy changed(shop.window->treeModel(), &QAbstractItemModel::dataChanged);
    QSignalSpy resets(shop.window->treeModel(), &QAbstractItemModel::modelReset);

    // Nothing edited: leaving a field changes nothing.
    emit Line(shop, "costEdit")->editingFinished();
    QVERIFY(!shop.session.project().changed);

    Line(shop, "costEdit")->setText(QStringLiteral("9.95"));
    Line(shop, "titleEdit")->setText(QStringLiteral("Sencha Caf\u00e9"));
    Line(shop, "imageEdit")->setText(QStringLiteral("images\\tea.png"));
    auto* body = shop.window->findChild<QPlainTextEdit*>(QStringLiteral("bodyEdit"));
    body->setPlainText(QStringLiteral("one\ntwo"));
    emit Line(shop, "costEdit")->editingFinished();
    QCOMPARE(product->cost, std::string("9.95"));
    QCOMPARE(product->title, std::string("Sencha Caf\xE9"));
    QCOMPARE(product->image, std::string("images/tea.png"));
    QCOMPARE(product->body, std::string("one\r\ntwo"));
    QCOMPARE(product->mod, std::uint8_t{1});
    QVERIFY(shop.session.project().changed);
    QVERIFY(shop.window->isWindowModified());
    QVERIFY(changed.count() >= 1);
    QCOMPARE(resets.count(), 0);
    QCOMPARE(shop.window->treeModel()->data(shop.window->treeModel()->IndexOf(product)).toString(),
             QStringLiteral("Sencha Caf\u00e9"));

    // An edit left unapplied is applied when another node is chosen.
    Line(shop, "codeEdit")->setText(QStringLiteral("GT-999"));
    shop.window->SelectNode(shop.NodeOfKind(NodeKind::Page));
    QCOMPARE(product->code, std::string("GT-999"));
  }

  void previewShowsPicturesOrAClearText() {
    test::TestHome home;
    QImage png(40, 20, QImage::Format_RGB32);
    png.fill(Qt::red);
    QVERIFY(png.save(QString::fromStdString((home / "red.png").string())));
    home.Write("broken.png", "not a picture");
    home.Write("broken.svg", "<svg");
    const QString svg = QString::fromStdString(
        (test::SourceDir() / "data/samples/TeaShop/images/sencha.svg").string());
    const QStringList base{QString::fromStdString(home.path().string())};

    ui::ImagePreview preview;
    preview.resize(200, 150);
    struct Case {
      QString path;
      bool picture;
      QString text;
    };
    const Case cases[] = {
        {QStringLiteral("red.png"), true, {}},
        {svg, true, {}},
        {QString(), false, QStringLiteral("No picture")},
        {QStringLiteral("gone.jpg"), false, QStringLiteral("Picture not found:\ngone.jpg")},
        {QStringLiteral("broken.png"), false, QStringLiteral("Cannot read the picture:\nbroken.png")},
        {QStringLiteral("broken.svg"), false, QStringLiteral("Cannot read the picture:\nbroken.svg")},
        {QStringLiteral("http://shop.example/a.png"), false,
         QStringLiteral("Picture on the web:\nhttp://shop.example/a.png")},
    };
    for (const Case& c : cases) {
      preview.SetImage(c.path, base);
      QCOMPARE(preview.HasPicture(), c.picture);
      QCOMPARE(preview.PlaceholderText(), c.text);
    }
    preview.SetImage(QStringLiteral("red.png"), base);
    preview.show();
    QVERIFY(test::SaveShot(preview, QStringLiteral("image-preview")));
  }
};

QTEST_MAIN(NodePageTest)
#include "NodePageTest.moc"
