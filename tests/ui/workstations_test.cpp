// Several workstations on one set of tables: what another workstation stores
// shows at the next opening of the journal and the patient list, whether the
// tables are files or on a server; a server that cannot be reached at start-up
// is reported as any failed connection is, and the program runs on.
#include "shell_fixture.h"

#include "store/result_table.h"
#include "store/server.h"
#include "support/pg_server.h"
#include "toolkit/date_edit.h"
#include "toolkit/grid_view.h"
#include "toolkit/grid_widget.h"
#include "ui/unit1.h"
#include "ui/unit4.h"
#include "ui/unit6.h"

#include <QTest>

#include <fstream>

using namespace uitest;

namespace {

const QString kConnectionFailed = QStringLiteral("Ошибка при соеденение с БД ");

class WorkstationsTest : public ShellTest, public ::testing::WithParamInterface<bool> {
protected:
    bool onServer() const { return GetParam(); }

    // The tables as the program finds them: files, or a fresh database on the
    // test server named by the directory's service file.
    void makeTables()
    {
        if (!onServer()) {
            data.createAll({{2, "Утверждение"}});
            return;
        }
        auto& server = testsupport::PgServer::shared();
        server.writeServiceFile(data.path(), server.newDatabase());
        store::createServerTables(data.path());
        store::Table items("FpiBd.db");
        items.setDirectoryPath(data.path());
        items.open();
        items.append();
        items.setField("NumVopros", std::int64_t{2});
        items.setField("Vopros", std::string("Утверждение"));
        items.post();
        addSubject("Первов");
    }

    void addSubject(const std::string& surname)
    {
        store::Table subjects("TestFam.DB");
        subjects.setDirectoryPath(data.path());
        subjects.open();
        subjects.append();
        subjects.setField("F", surname);
        subjects.setField("I", std::string("Иван"));
        subjects.setField("O", std::string("Иванович"));
        subjects.post();
    }

    // What another workstation does: its own connection to the same tables.
    void anotherWorkstationStores(const std::string& surname)
    {
        store::Table results("Result.db");
        results.setDirectoryPath(data.path());
        results.declareFields(store::resultFields());
        results.open();
        store::appendResultRow(results, surname, "Иван", "Иванович", {1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3},
                               store::Date{2026, 12, 9});
        addSubject(surname);
    }

    QStringList journalSurnames()
    {
        fmResult->show();
        QStringList names;
        const auto* model = fmResult->grResult->model();
        for (int row = 0; row < model->rowCount(); ++row)
            names << model->cellText(row, 0);
        fmResult->hide();
        return names;
    }

    QStringList patientSurnames()
    {
        QStringList names;
        withPatientList([&] {
            const auto* model = Form6->DBGrid1->model();
            for (int row = 0; row < model->rowCount(); ++row)
                names << model->cellText(row, 0);
            Form6->close();
        });
        return names;
    }
};

}  // namespace

TEST_P(WorkstationsTest, EachOpeningShowsWhatAnotherWorkstationStored)
{
    if (onServer() && !testsupport::PgServer::available())
        GTEST_SKIP() << "PostgreSQL 15 is not installed";
    makeTables();
    startProgram();
    ASSERT_TRUE(box.said.isEmpty()) << "said: " << box.said.join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(journalSurnames().contains(QStringLiteral("Соседов")));
    const int subjectsBefore = patientSurnames().size();

    anotherWorkstationStores("Соседов");
    EXPECT_EQ(journalSurnames().filter(QStringLiteral("Соседов")).size(), 1);
    const QStringList subjects = patientSurnames();
    EXPECT_EQ(subjects.size(), subjectsBefore + 1);
    EXPECT_TRUE(subjects.contains(QStringLiteral("Соседов")));

    anotherWorkstationStores("Дальнев");
    const QStringList journal = journalSurnames();
    EXPECT_TRUE(journal.contains(QStringLiteral("Соседов")));
    EXPECT_TRUE(journal.contains(QStringLiteral("Дальнев")));
    EXPECT_TRUE(box.said.isEmpty()) << box.said.join(QLatin1Char('\n')).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Engines, WorkstationsTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Server" : "Files"; });

TEST_F(ShellTest, AServerThatCannotBeReachedIsReportedAtStartUpInRussianAndTheProgramRunsOn)
{
    if (!testsupport::PgServer::available())
        GTEST_SKIP() << "PostgreSQL 15 is not installed";
    auto& server = testsupport::PgServer::shared();
    server.writeServiceFile(data.path(), server.newDatabase());
    store::createServerTables(data.path());
    server.stop();
    startProgram();
    server.start();
    ASSERT_EQ(box.messages.size(), 1) << box.said.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(box.messages[0].startsWith(kConnectionFailed + QStringLiteral("Таблица «TestFam»")))
        << box.messages[0].toStdString();
    EXPECT_TRUE(box.messages[0].contains(QStringLiteral("сервер базы данных не отвечает"))) << box.messages[0].toStdString();
    EXPECT_TRUE(MainForm->deDateReg->text().trimmed().isEmpty());
    EXPECT_TRUE(MainForm->isVisible());
    EXPECT_FALSE(MainForm->tbFamil.active());
}
