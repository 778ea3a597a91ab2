// Page descriptions against the parameter classes' key tables and against
// the tables of the pages kept as test data.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "entry/ModelTable.h"
#include "devparms/ParmKeys.h"
#include "host/PrintEnv.h"
#include "host/UnivDevParmsBase.h"
#include "ui/Page.h"
#include "ui/PageModel.h"
#include "ui/Strings.h"

using namespace mimaki::ui;

namespace {

std::vector<std::vector<std::string>> ReadTsv(const std::string& name)
{
    std::ifstream in(std::string(UI_TEST_DATA) + "/" + name);
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> cols;
        std::stringstream ss(line);
        std::string col;
        while (std::getline(ss, col, '\t'))
            cols.push_back(col);
        rows.push_back(cols);
    }
    EXPECT_FALSE(rows.empty()) << name;
    return rows;
}

std::unique_ptr<CUnivDevParmsBase> Make(const char* cls)
{
    for (const mimaki::ParmsClass* p : mimaki::ParmsClasses())
        if (std::string(p->name) == cls && p->make)
            return std::unique_ptr<CUnivDevParmsBase>(p->make());
    return nullptr;
}

const Control* FindControl(const PageDesc& d, int id)
{
    for (const Control& c : d.controls)
        if (c.id == id)
            return &c;
    return nullptr;
}

// Every bound field of the controls exists in the class's table as a
// number; ids are unique; rules name controls of the same page.
void CheckControls(const std::string& where, std::span<const Control> controls, const mimaki::parms::KeyTable& table,
                   const wchar_t* prefix)
{
    std::set<int> ids;
    for (const Control& c : controls) {
        EXPECT_TRUE(ids.insert(c.id).second) << where << ": control " << c.id << " twice";
        if (c.field) {
            const std::wstring field = std::wstring(prefix ? prefix : L"") + c.field;
            const mimaki::parms::Key* key = table.Find(field);
            ASSERT_NE(key, nullptr) << where << ": control " << c.id << " binds to a field the class lacks";
            EXPECT_TRUE(key->kind == mimaki::parms::Kind::Int || key->kind == mimaki::parms::Kind::Real ||
                        key->kind == mimaki::parms::Kind::RealToString)
                << where << ": control " << c.id << " binds to a field that is no number";
        }
        if (c.kind == Ctl::Number) {
            EXPECT_LE(c.min, c.max) << where << ": control " << c.id;
        }
        if ((c.kind == Ctl::Radio || c.kind == Ctl::Combo) && c.source == Items::Fixed) {
            EXPECT_FALSE(c.items.empty()) << where << ": control " << c.id << " offers nothing";
        }
    }
    for (const Control& c : controls) {
        if (c.enable.from == From::Checked || c.enable.from == From::Control) {
            EXPECT_TRUE(ids.count(c.enable.ctl)) << where << ": control " << c.id << " follows a missing control";
        }
        if (c.group) {
            EXPECT_TRUE(ids.count(c.group)) << where << ": control " << c.id << " in a missing group";
        }
    }
}

TEST(PageDescriptions, EveryPageOfTheTableExistsWithItsBaseDialogAndClass)
{
    std::set<std::string> listed;
    for (const auto& row : ReadTsv("pages.tsv")) {
        ASSERT_EQ(row.size(), 5u);
        SCOPED_TRACE(row[0]);
        listed.insert(row[0]);
        const PageDesc* d = PageOfClass(row[4].c_str());
        ASSERT_NE(d, nullptr) << "no page for " << row[4];
        EXPECT_EQ(d->pageClass, row[0]);
        EXPECT_EQ(d->base == Base::Retrieve ? "R" : "P", row[1]);
        EXPECT_EQ(d->dialog, std::stoi(row[2]));
        EXPECT_EQ(d->altDialog, std::stoi(row[3]));
    }
    for (const PageDesc* d : AllPages()) {
        EXPECT_TRUE(listed.count(d->pageClass)) << d->pageClass << " is no page of the table";
    }
}

TEST(PageDescriptions, BoundFieldsExistInTheKeyTables)
{
    for (const PageDesc* d : AllPages()) {
        SCOPED_TRACE(d->pageClass);
        auto parms = Make(d->parmsClass);
        ASSERT_NE(parms, nullptr) << d->parmsClass;
        const mimaki::parms::KeyTable* table = mimaki::KeyTableOf(parms.get());
        ASSERT_NE(table, nullptr);
        CheckControls(d->pageClass, d->controls, *table, nullptr);
        for (const Control& c : d->controls)
            if (c.kind == Ctl::Button && c.dialog && c.dialog != 22070) {
                const DialogDesc* dlg = DialogById(c.dialog, c.variant);
                ASSERT_NE(dlg, nullptr) << "button " << c.id << " opens a dialog that is not described";
                CheckControls(std::string(d->pageClass) + " / " + dlg->dialogClass, dlg->controls, *table, c.prefix);
            }
        for (const wchar_t* f : {d->printModes.xDpi, d->printModes.yDpi, d->printModes.setNumber,
                                 d->printModes.dotSize, d->printModes.printModeData, d->printModes.dotVolumes})
            if (f) {
                EXPECT_NE(table->Find(f), nullptr) << "print-mode field missing";
            }
        if (d->base == Base::Retrieve) {
            EXPECT_TRUE(d->printModes.printModeData || d->printModes.dotVolumes) << "a print-condition page without its data";
        }
    }
}

TEST(PageDescriptions, RepresentativePageAsTheTableGivesIt)
{
    const PageDesc* d = PageOfClass("DEVPARM24_CLASS");
    ASSERT_NE(d, nullptr);
    const Catalogue& en = Catalogue::English();
    std::map<int, std::pair<int, int>> spins;
    for (const Control& c : d->controls)
        if (c.spin)
            spins[c.spin] = {c.min, c.max};
    for (const auto& row : ReadTsv("page24.tsv")) {
        SCOPED_TRACE(row[0] + " " + row[1]);
        const int id = std::stoi(row[1]);
        if (row[0] == "spin") {
            ASSERT_TRUE(spins.count(id));
            EXPECT_EQ(spins[id], std::make_pair(std::stoi(row[2]), std::stoi(row[3])));
            continue;
        }
        if (row[0] == "query" || row[0] == "heaterlabel") {
            if (row[0] == "heaterlabel") {
                bool found = false;
                for (const Control& c : d->controls)
                    if (c.caption.id == id) {
                        found = true;
                        EXPECT_EQ(std::wstring(c.show.key ? c.show.key : L""), L"bDontUseAnyKindOfHeaters");
                    }
                EXPECT_TRUE(found);
            }
            continue;
        }
        const Control* c = FindControl(*d, id);
        ASSERT_NE(c, nullptr);
        if (row[0] == "edit") {
            EXPECT_EQ(c->kind, Ctl::Number);
            EXPECT_EQ(c->min, std::stoi(row[2]));
            EXPECT_EQ(c->max, std::stoi(row[3]));
            ASSERT_EQ(c->enable.from, From::Checked);
            const Control* check = FindControl(*d, c->enable.ctl);
            ASSERT_NE(check, nullptr);
            EXPECT_EQ(en.Text(check->caption), row[4]);
        } else if (row[0] == "combo") {
            EXPECT_EQ(c->kind, Ctl::Combo);
            EXPECT_EQ(c->byData, row[3] == "data");
            if (row[2] != "-") {
                std::string items;
                for (const Item& it : c->items)
                    items.append(items.empty() ? "" : ",").append(std::to_string(it.caption.id)).append("=").append(
                        std::to_string(it.data));
                EXPECT_EQ(items, row[2]);
            }
        } else if (row[0] == "radio") {
            EXPECT_EQ(c->kind, Ctl::Radio);
            std::string captions;
            for (const Item& it : c->items) {
                captions += (captions.empty() ? "" : ",");
                captions += en.Text(it.caption);
            }
            EXPECT_EQ(captions, row[2]);
        } else if (row[0] == "check") {
            EXPECT_EQ(c->kind, Ctl::Check);
            EXPECT_EQ(en.Text(c->caption), row[2]);
        } else if (row[0] == "caption") {
            EXPECT_EQ(en.Text(c->caption), row[2]);
        } else if (row[0] == "layer") {
            EXPECT_EQ(c->show.from, From::Model);
            EXPECT_EQ(std::wstring(c->show.key), L"nPrinterTyp");
            EXPECT_EQ(c->show.op, Op::Eq);
            EXPECT_EQ(c->show.value, 1);
        } else if (row[0] == "heater") {
            EXPECT_EQ(std::wstring(c->show.key ? c->show.key : L""), L"bDontUseAnyKindOfHeaters");
            EXPECT_EQ(c->show.op, Op::Zero);
        }
    }
}

TEST(PageDescriptions, EnglishStringsAndDotLabels)
{
    for (const auto& row : ReadTsv("strings.tsv")) {
        std::string text = row[1];
        for (std::size_t at; (at = text.find("\\n")) != std::string::npos;)
            text.replace(at, 2, 1, '\n');
        EXPECT_EQ(Catalogue::English().Id(std::stoi(row[0])), text) << row[0];
    }
    const std::vector<std::string> labels = {"72pl", "66pl", "60pl", "54pl", "48pl", "42pl",
                                             "36pl", "30pl", "24pl", "18pl", "12pl", "6pl"};
    EXPECT_EQ(std::vector<std::string>(DotVolumeLabels().begin(), DotVolumeLabels().end()), labels);
}

TEST(PageDescriptions, SecondLanguageTranslatesTheRepresentativePage)
{
    const Catalogue& de = Catalogue::ForAcceptLanguage("de-CH,de;q=0.9,en;q=0.5");
    ASSERT_STREQ(de.Lang(), "de");
    EXPECT_STREQ(Catalogue::ForAcceptLanguage("fr-FR, it;q=0.8").Lang(), "en");
    EXPECT_STREQ(Catalogue::ForAcceptLanguage("en;q=0.4, de;q=0.6").Lang(), "de");
    EXPECT_STREQ(Catalogue::ForAcceptLanguage("").Lang(), "en");
    const PageDesc* d = PageOfClass("DEVPARM24_CLASS");
    for (const Control& c : d->controls) {
        if (!c.caption.id && !c.caption.text)
            continue;
        EXPECT_NE(de.Text(c.caption), Catalogue::English().Text(c.caption)) << "control " << c.id << " untranslated";
        for (const Item& it : c.items)
            if (c.kind == Ctl::Radio) {
                EXPECT_NE(de.Text(it.caption), Catalogue::English().Text(it.caption)) << "item of " << c.id;
            }
    }
}

} // namespace
