// The service module of the start-up benchmark: a form-style module that
// answers for any identifier, with an icon of a colour of the identifier's own.
// Copied as BenchModNN.so (NN from 01 to 25), it offers for registration the
// services of the generated catalogue that live in file NN.
#include "Source/ComUnits/ZandrellInterface.h"
#include "Source/ComUnits/uServiceForm.h"

#include <QFileInfo>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

#include <dlfcn.h>
#include <vector>

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

// The generated catalogue: service i of 500 lives in file i % 25 + 1.
constexpr int kServices = 500;
constexpr int kFiles = 25;

} // namespace

extern "C" __attribute__((visibility("default"))) const char *const *GetServiceList()
{
    static std::vector<QByteArray> ids;
    static std::vector<const char *> list;
    if (list.empty()) {
        Dl_info info{};
        dladdr(reinterpret_cast<void *>(&GetServiceList), &info);
        const QString name = QFileInfo(QString::fromLocal8Bit(info.dli_fname)).completeBaseName();
        const int file = name.startsWith(QLatin1String("BenchMod")) ? name.right(2).toInt() : 0;
        for (int i = 0; i < kServices; ++i)
            if (i % kFiles + 1 == file)
                ids.push_back(QStringLiteral("{M%1-BENCH-%2}")
                                  .arg(file, 2, 10, QLatin1Char('0'))
                                  .arg(i, 3, 10, QLatin1Char('0'))
                                  .toUtf8());
        for (const QByteArray &id : ids)
            list.push_back(id.constData());
        list.push_back(nullptr);
    }
    return list.data();
}

extern "C" __attribute__((visibility("default"))) const TAccessRec2 *GetAccessList2(const char *)
{
    static const TAccessRec2 rights[] = {{1, "{BENCH-RIGHT-1}", "Просмотр", false},
                                         {2, "{BENCH-RIGHT-2}", "Печать отчетов", false},
                                         {0, nullptr, nullptr, false}};
    return rights;
}

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
