// The catalogue of bases and the check of a table file against its declared fields.

#include "data/catalogue.h"
#include "engine/dataset/memorytable.h"

#include <QTest>

#include <algorithm>
#include <set>

using namespace tv;
using namespace tv::data;

class CatalogueTest : public QObject {
    Q_OBJECT

private slots:
    void basesInOpeningOrder()
    {
        std::vector<int> numbers;
        for (const BaseDecl& b : bases()) {
            numbers.push_back(b.number);
            QCOMPARE(QString::fromLatin1(b.tableName.data(), qsizetype(b.tableName.size())),
                     QStringLiteral("wwTable%1").arg(b.number));
            QCOMPARE(QString::fromLatin1(b.dataSourceName.data(), qsizetype(b.dataSourceName.size())),
                     QStringLiteral("wwDataSource%1").arg(b.number));
            QCOMPARE(baseByNumber(b.number), &b);
            // The format follows the extension.
            QCOMPARE(b.format == Format::Dbase, QString::fromLatin1(b.fileName.data()).toUpper().endsWith(".DBF"));
        }
        QCOMPARE(numbers, std::vector<int>({1, 2, 3, 4, 40, 5, 6, 7, 9}));
        QCOMPARE(baseByNumber(8), nullptr);
        QCOMPARE(baseByNumber(0), nullptr);
    }

    void secondForumHasTheFirstForumsFields()
    {
        auto fieldsOf = [](int n) {
            std::set<std::pair<std::string, Declared>> out;
            for (const FieldDecl& f : baseByNumber(n)->fields)
                out.insert({std::string(f.name), f.type});
            return out;
        };
        QVERIFY(fieldsOf(4) == fieldsOf(40));
        QVERIFY(baseByNumber(4)->fields.front().name != baseByNumber(40)->fields.front().name);
    }

    void labelsAndPictures()
    {
        const BaseDecl& qa = *baseByNumber(2);
        QCOMPARE(displayLabel(*findDeclared(qa, "Number")), std::string_view("ID"));
        QCOMPARE(displayLabel(*findDeclared(qa, "topic")), std::string_view("Topic"));  // no label of its own
        QCOMPARE(findDeclared(qa, "Nothing"), nullptr);
        const PictureDecl* size = findPicture(*baseByNumber(5), "Size");
        QVERIFY(size && !size->autoFill);
        const PictureDecl* date = findPicture(*baseByNumber(9), "DATE");
        QVERIFY(date && date->autoFill);
        QCOMPARE(findPicture(*baseByNumber(1), "LASTCHANGED"), nullptr);
    }

    void declaredFieldsAreChecked()
    {
        // A table made from the declaration passes, for every base.
        for (const BaseDecl& b : bases()) {
            MemoryTable t(tableSpecFor(b), std::string(b.fileName));
            checkDeclaredFields(b, t);
        }

        const BaseDecl& topics = *baseByNumber(1);
        // Field names are matched without regard to case; extra fields do no harm.
        TableSpec spec = tableSpecFor(topics);
        spec.fields[2].name = "Topic";
        spec.fields.push_back({"EXTRA", FieldType::Alpha, 5, 0});
        checkDeclaredFields(topics, MemoryTable(spec, "DTOPICS.DB"));

        // A missing field names the file and the field.
        spec = tableSpecFor(topics);
        spec.fields.erase(spec.fields.begin() + 3);
        try {
            checkDeclaredFields(topics, MemoryTable(spec, "/d/DTOPICS.DB"));
            QFAIL("a missing field was accepted");
        } catch (const EngineError& e) {
            const QString m = QString::fromUtf8(e.what());
            QVERIFY(m.contains("/d/DTOPICS.DB") && m.contains("KEYWORDS"));
        }

        // A field of another kind is refused.
        spec = tableSpecFor(topics);
        spec.fields[8].type = FieldType::Alpha;   // LASTCHANGED as text
        spec.fields[8].size = 10;
        QVERIFY_THROWS_EXCEPTION(EngineError, checkDeclaredFields(topics, MemoryTable(spec, "DTOPICS.DB")));
    }

    void typesThatFit()
    {
        QVERIFY(typeFits(Declared::Float, FieldType::DbNumeric));
        QVERIFY(typeFits(Declared::Float, FieldType::Number));
        QVERIFY(typeFits(Declared::Currency, FieldType::Money));
        QVERIFY(typeFits(Declared::Memo, FieldType::DbMemo));
        QVERIFY(typeFits(Declared::Memo, FieldType::FmtMemo));
        QVERIFY(typeFits(Declared::Graphic, FieldType::Graphic));
        QVERIFY(!typeFits(Declared::Memo, FieldType::Alpha));
        QVERIFY(!typeFits(Declared::Date, FieldType::Timestamp));
        QVERIFY(!typeFits(Declared::Int32, FieldType::Alpha));
    }
};

QTEST_MAIN(CatalogueTest)
#include "catalogue_test.moc"
