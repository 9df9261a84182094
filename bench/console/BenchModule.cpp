// The service module of the start-up benchmark: a form-style module that
// answers for any identifier, with an icon of a colour of the identifier's own.
#include "Source/ComUnits/ZandrellInterface.h"
#include "Source/ComUnits/uServiceForm.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>

namespace {

class TBenchWindow : public TServiceForm, public IZandrell {
    Q_OBJECT
    Q_INTERFACES(IZandrell)
public:
    void SetSession(TOraSession *) override {}
    void Find() override {}
    void Sort() override {}
    void Report() override {}
    void Filter() override {}
    void CloseService() override { close(); }
    void SetScheme(const QString &) override {}
};

QByteArray g_caption;

} // namespace

extern "C" __attribute__((visibility("default"))) void GetServiceAttribute2(TServiceAttribute2 *attribute,
                                                                            const char *guid)
{
    const QString id = QString::fromUtf8(guid);
    g_caption = QStringLiteral("Service %1").arg(id).toUtf8();
    attribute->Caption = g_caption.constData();
    attribute->Description = g_caption.constData();
    QPixmap pixmap(32, 32);
    pixmap.fill(QColor::fromHsv(int(qHash(id.left(8)) % 360), 200, 200));
    attribute->Icon = new QIcon(pixmap);
    attribute->IconName = "";
    attribute->TranslateCaption = false;
    attribute->TranslateDescription = false;
}

extern "C" __attribute__((visibility("default"))) TServiceForm *InitServiceForm(const char *, const char *,
                                                                                TICallback *)
{
    return new TBenchWindow;
}

#include "BenchModule.moc"
