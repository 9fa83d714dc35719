// DATE: the local calendar date of the last write against year/month/day, field by field,
// and files that cannot be opened counting as older.
#include "commands/system/date_command.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>

#include "helpers/script_run.h"
#include "os/file_data.h"

#ifndef _WIN32
#include <stdlib.h>
#endif

namespace {

std::string dateSection(const std::string& name, const std::string& files, const std::string& date) {
    return "[" + name + "]\nMODE=DATE\nFILE=" + files + "\nDATE=" + date + "\n";
}

void setWriteTime(const std::string& path, std::time_t t) {
    std::filesystem::last_write_time(nativePath(path),
                                     std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(t)));
}

// Noon of a local calendar day.
std::time_t localNoon(int year, int month, int day) {
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = 12;
    fields.tm_isdst = -1;
    return std::mktime(&fields);
}

TEST(DateCommand, ComparesYearThenMonthThenDay) {
    struct Case {
        const char* date;
        bool older;  // the flag: the file was written before the date
    } cases[] = {
        {"2021/7/15", false}, {"2021/07/15", false}, {"2021/7/16", true},  {"2021/7/14", false},
        {"2021/8/1", true},   {"2021/6/30", false},  {"2022/1/1", true},   {"2020/12/31", false},
        // Missing fields read as 0; another separator leaves only the year.
        {"2021", false},      {"2022", true},        {"2021-12-31", false}, {"2021.7.16", false},
        {"", false},
        // The fields are compared as unsigned 16-bit numbers: -1 stands above every year.
        {"-1/1/1", true},     {"2021/7/-1", true},
    };
    for (const Case& c : cases) {
        ScriptRun run(dateSection("Check", "<Src>\\dated.txt", c.date));
        writeFile(run.path("dated.txt"), "x");
        setWriteTime(run.path("dated.txt"), localNoon(2021, 7, 15));
        EXPECT_TRUE(run.run("Check")) << c.date;
        EXPECT_EQ(run.flag("Check"), c.older) << c.date;
    }
}

TEST(DateCommand, TodayIsOnTheDateYesterdayBeforeIt) {
    const std::time_t now = std::time(nullptr);
    const std::tm today = *std::localtime(&now);
    const std::string date = std::to_string(today.tm_year + 1900) + "/" + std::to_string(today.tm_mon + 1) + "/" +
                             std::to_string(today.tm_mday);
    struct Case {
        const char* files;
        bool older;
    } cases[] = {
        {"<Src>\\today.txt", false},
        {"<Src>\\yesterday.txt", true},
        {"<Src>\\today.txt, <Src>\\yesterday.txt", true},
        {"<Src>\\missing.txt, <Src>\\today.txt", true},
        {"<Src>\\today.txt,", true},  // an empty last item names no file that can be opened
    };
    for (const Case& c : cases) {
        ScriptRun run(dateSection("Check", c.files, date));
        writeFile(run.path("today.txt"), "x");
        writeFile(run.path("yesterday.txt"), "x");
        setWriteTime(run.path("today.txt"), localNoon(today.tm_year + 1900, today.tm_mon + 1, today.tm_mday));
        setWriteTime(run.path("yesterday.txt"), localNoon(today.tm_year + 1900, today.tm_mon + 1, today.tm_mday - 1));
        EXPECT_TRUE(run.run("Check")) << c.files;
        EXPECT_EQ(run.flag("Check"), c.older) << c.files;
        EXPECT_TRUE(run.boxes().empty());
    }
}

// Opened as Windows opens it, sharing nothing: a file held elsewhere, or a directory,
// cannot be opened and counts as older.
TEST(DateCommand, WhatCannotBeOpenedCountsAsOlder) {
    ScriptRun run(dateSection("Held", "<Src>\\held.txt", "1990/1/1") +
                  dateSection("Folder", "<Src>\\folder", "1990/1/1") +
                  dateSection("Free", "<Src>\\free.txt", "1990/1/1"));
    writeFile(run.path("held.txt"), "x");
    writeFile(run.path("free.txt"), "x");
    std::filesystem::create_directory(nativePath(run.path("folder")));
    const os::ExclusiveFile holder(run.path("held.txt"));
    ASSERT_TRUE(holder.isOpen());
    EXPECT_TRUE(run.run("Held,Folder,Free"));
    EXPECT_TRUE(run.flag("Held"));
    EXPECT_TRUE(run.flag("Folder"));
    EXPECT_FALSE(run.flag("Free"));
}

#ifndef _WIN32
// Far east of Greenwich, noon in universal time is already the next day: the file's date is
// the local one.
TEST(DateCommand, DateIsTakenInTheLocalTimeZone) {
    ScriptRun run(dateSection("Check", "<Src>\\dated.txt", "2020/1/2"));
    writeFile(run.path("dated.txt"), "x");
    setWriteTime(run.path("dated.txt"), 1577880000);  // 2020-01-01 12:00 in universal time
    const char* previous = getenv("TZ");
    const std::string saved = previous ? previous : "";
    setenv("TZ", "UTC-14", 1);
    tzset();
    EXPECT_TRUE(run.run("Check"));
    if (previous)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    EXPECT_FALSE(run.flag("Check"));
}
#endif

TEST(DateCommand, EmptyFileListStopsTheRun) {
    ScriptRun run(dateSection("Check", "", "2021/1/1"));
    EXPECT_FALSE(run.run("Check"));
    EXPECT_EQ(run.boxTexts(), std::vector<std::string>{formatMessage(MessageId::WrongItemCount, {"Check", "FILE"})});
}

}  // namespace
