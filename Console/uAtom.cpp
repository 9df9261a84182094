#include "uAtom.h"

#include <fcntl.h>
#include <semaphore.h>

namespace {

bool g_added = false;

QByteArray semaphoreName()
{
    // Tests point the name elsewhere so that they never touch a running console's mark.
    const QByteArray custom = qgetenv("ZANDRELL_ATOM_NAME");
    return custom.isEmpty() ? QByteArrayLiteral("/LUM_ATOM") : '/' + custom;
}

} // namespace

QString ConsoleAtomName() { return QString::fromLatin1(semaphoreName()); }

bool AddConsoleAtom()
{
    if (g_added)
        return true;
    sem_t *sem = sem_open(semaphoreName().constData(), O_CREAT, 0666, 0);
    if (sem == SEM_FAILED)
        return false;
    g_added = sem_post(sem) == 0;
    sem_close(sem);
    return g_added;
}

void DeleteConsoleAtom()
{
    if (!g_added)
        return;
    g_added = false;
    sem_t *sem = sem_open(semaphoreName().constData(), 0);
    if (sem == SEM_FAILED)
        return;
    sem_trywait(sem);
    sem_close(sem);
}

int ConsoleAtomCount()
{
    sem_t *sem = sem_open(semaphoreName().constData(), 0);
    if (sem == SEM_FAILED)
        return 0;
    int value = 0;
    sem_getvalue(sem, &value);
    sem_close(sem);
    return value;
}
