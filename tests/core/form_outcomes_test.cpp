#include "core/form_outcomes.h"

#include <gtest/gtest.h>

#include "settings/settings_file.h"
#include "tests/support/temp_folder.h"

namespace korvan {
namespace {

TEST(DatabaseReports, ShowTheFileItsNameAndMessageAndLeaveTheStatusColour) {
    FieldModel model;
    loadSettings(model, {});
    const std::string placeholder = model.text(Field::DatabaseName);
    model.setStatusColour(StatusColour::Red);
    DatabaseReport report = DatabaseReport::failed("Файл srv не сохранён");
    report.path = "/data/fleet.zcf";
    showDatabaseReport(model, report);
    EXPECT_EQ(model.text(Field::StatusLine), testing::ansi("Файл srv не сохранён"));
    EXPECT_EQ(model.statusColour(), StatusColour::Red);
    EXPECT_EQ(model.databasePath, "/data/fleet.zcf");
    EXPECT_EQ(model.text(Field::DatabaseName), placeholder);  // no name given: kept as it was

    report = DatabaseReport::told({});
    report.path = "/data/Парк.zcf";
    report.shownName = "Парк.zcf";
    showDatabaseReport(model, report);
    EXPECT_EQ(model.text(Field::DatabaseName), testing::ansi("Парк.zcf"));
    EXPECT_EQ(model.text(Field::StatusLine),
              testing::ansi("Файл srv не сохранён"));  // nothing said
    report.shownName = "";
    showDatabaseReport(model, report);
    EXPECT_EQ(model.text(Field::DatabaseName), "");
}

}  // namespace
}  // namespace korvan
