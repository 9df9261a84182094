#pragma once
// A dialog service for tests: records every message box and modal window and
// answers them, so that no test ever waits on a real modal loop.
#include "Core/DialogService.h"

#include <QDialog>
#include <QList>
#include <QString>

#include <functional>

struct RecordedBox {
    QString text;
    QString caption;
    unsigned flags = 0;
};

class RecordingDialogService : public IDialogService {
public:
    RecordingDialogService() { SetDialogService(this); }
    ~RecordingDialogService() override { SetDialogService(nullptr); }

    // Answers for the next boxes, first in first out; when empty a box gets its default button.
    QList<int> answers;
    QList<RecordedBox> boxes;
    QStringList modalClasses;
    // Drives a modal window as a person would and returns its result; when not
    // set, a window is rejected (Cancel) at once.
    std::function<int(QDialog *)> onModal;

    int MessageBox(const QString &text, const QString &caption, unsigned flags) override
    {
        boxes.append({text, caption, flags});
        return answers.isEmpty() ? DefaultMessageBoxResult(flags) : answers.takeFirst();
    }

    int ExecModal(QDialog *dialog, bool) override
    {
        modalClasses.append(QString::fromLatin1(dialog->metaObject()->className()));
        if (onModal)
            return onModal(dialog);
        dialog->reject();
        return QDialog::Rejected;
    }

    // The texts or captions of the boxes so far, in order.
    QStringList texts() const { return collect(&RecordedBox::text); }
    QStringList captions() const { return collect(&RecordedBox::caption); }

    void clear()
    {
        boxes.clear();
        modalClasses.clear();
    }

private:
    QStringList collect(QString RecordedBox::*part) const
    {
        QStringList out;
        for (const RecordedBox &box : boxes)
            out << box.*part;
        return out;
    }
};
