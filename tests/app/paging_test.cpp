#include <QTest>

class PagingTest : public QObject {
    Q_OBJECT
};

QTEST_MAIN(PagingTest)
#include "paging_test.moc"
