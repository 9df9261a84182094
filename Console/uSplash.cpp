#include "Console/uSplash.h"

#include "Console/uConsoleCfg.h"
#include "Console/uConsoleLog.h"
#include "Files/uVerList.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QThread>
#include <QVBoxLayout>
#include <QWindow>

namespace {

QPointer<TWaitScr> g_splash;

constexpr int kProductLineHeight = 17;
constexpr int kDesignedWidth = 470;
constexpr int kDesignedPictureHeight = 260;
constexpr double kOpacity = 235.0 / 255.0;
// The longest wait for the window system to put the splash on the screen.
constexpr qint64 kExposeWaitMs = 1000;

// The picture the window is designed with, shown when Data/WaitPic.jpg is missing.
QPixmap DesignedPicture()
{
    QPixmap picture(kDesignedWidth, kDesignedPictureHeight);
    QPainter painter(&picture);
    QLinearGradient gradient(0, 0, 0, kDesignedPictureHeight);
    gradient.setColorAt(0, QColor(34, 64, 112));
    gradient.setColorAt(1, QColor(12, 24, 48));
    painter.fillRect(picture.rect(), gradient);
    painter.setPen(QColor(230, 236, 245));
    QFont font = painter.font();
    font.setPixelSize(40);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(picture.rect(), Qt::AlignCenter, QStringLiteral("KorConsole"));
    return picture;
}

QLabel *ProductMemo(QWidget *parent, const char *name)
{
    auto *memo = new QLabel(parent);
    memo->setObjectName(QLatin1String(name));
    memo->setTextFormat(Qt::PlainText); // product names show as typed, "&" and "<" too
    memo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont font = memo->font();
    font.setPixelSize(12);
    memo->setFont(font);
    QPalette grey = memo->palette();
    grey.setColor(QPalette::WindowText, Qt::gray);
    memo->setPalette(grey);
    return memo;
}

} // namespace

int ProductPanelHeight(int count) { return kProductLineHeight * qMax(0, count); }

QStringList SplashLines(const QString &text)
{
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (lines.endsWith(QLatin1Char('\n')))
        lines.chop(1);
    return lines.isEmpty() ? QStringList() : lines.split(QLatin1Char('\n'));
}

TWaitScr::TWaitScr(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("WaitScr"));
    setWindowOpacity(kOpacity);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAlignment(Qt::AlignCenter);
    // The picture is centred in whatever room is left and never stretched; it may be cut, never push the rest out.
    Image1->setMinimumSize(1, 1);
    Image1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    Image1->setPixmap(DesignedPicture());

    pProductList = new QFrame(this);
    pProductList->setObjectName(QStringLiteral("pProductList"));
    mProduct = ProductMemo(pProductList, "mProduct");
    mVersion = ProductMemo(pProductList, "mVersion");
    mDate = ProductMemo(pProductList, "mDate");
    auto *columns = new QHBoxLayout(pProductList);
    columns->setContentsMargins(8, 0, 8, 0);
    columns->addWidget(mProduct, 3);
    columns->addWidget(mVersion, 1);
    columns->addWidget(mDate, 1);
    pProductList->setFixedHeight(0);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusPanel0 = new QLabel(StatusBar1);
    StatusPanel0->setTextFormat(Qt::PlainText);
    StatusPanel0->setFixedWidth(320);
    StatusPanel1 = new QLabel(QStringLiteral("Zandrell"), StatusBar1);
    StatusPanel1->setFixedWidth(150);
    StatusBar1->addWidget(StatusPanel0);
    StatusBar1->addWidget(StatusPanel1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Image1, 1);
    layout->addWidget(pProductList);
    layout->addWidget(StatusBar1);

    setFixedSize(kDesignedWidth, kDesignedPictureHeight + StatusBar1->sizeHint().height());
}

TWaitScr::~TWaitScr()
{
    if (StartTime.isValid()) {
        const qint64 rest = MinShowTime - StartTime.elapsed();
        if (rest > 0)
            QThread::msleep(quint64(rest));
    }
    if (g_splash == this)
        g_splash = nullptr;
}

void TWaitScr::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TWaitScr::FormShow()
{
    FillProducts();
    LoadPicture();
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    StartTime.start();
}

void TWaitScr::FillProducts()
{
    int count = 0;
    try {
        const TVerList products(ExePath(QStringLiteral("Data")));
        mProduct->setText(SplashLines(products.Names()).join(QLatin1Char('\n')));
        mVersion->setText(SplashLines(products.Versions()).join(QLatin1Char('\n')));
        mDate->setText(SplashLines(products.Dates()).join(QLatin1Char('\n')));
        count = products.Count();
    } catch (const EVerFileError &e) {
        // A damaged stamp file leaves the product list empty; start-up goes on.
        qCWarning(lcConsole) << "the splash window lists no products:" << e.message();
    }
    pProductList->setFixedHeight(ProductPanelHeight(count));
}

void TWaitScr::LoadPicture()
{
    const QString file = ExePath(QStringLiteral("Data/WaitPic.jpg"));
    if (!QFileInfo(file).isFile())
        return;
    // A picture that cannot be decoded is ignored: the designed one stays, and gives its size.
    const QImage picture = QImageReader(file).read();
    if (!picture.isNull())
        Image1->setPixmap(QPixmap::fromImage(picture));
    const QSize pictureSize = Image1->pixmap().size();
    setFixedSize(pictureSize.width(), pictureSize.height() + pProductList->maximumHeight());
}

TWaitScr *GetSplash()
{
    if (!g_splash) {
        g_splash = new TWaitScr;
        g_splash->show();
        // The window system maps the window a moment later; painted before that, nothing would
        // show until the main window is built. Wait (briefly) until it is on the screen.
        QElapsedTimer waited;
        waited.start();
        const QWindow *window = g_splash->windowHandle();
        while (window && !window->isExposed() && waited.elapsed() < kExposeWaitMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(5);
        }
        g_splash->repaint();
        QCoreApplication::processEvents();
    }
    return g_splash;
}

void SetSplashStatus(TWaitScr *splash, const QString &text)
{
    if (!splash)
        return;
    splash->StatusPanel0->setText(text);
    splash->StatusBar1->repaint();
}

void FreeSplash() { delete g_splash.data(); }

TWaitScr *CurrentSplash() { return g_splash; }
