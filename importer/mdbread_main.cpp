// quiznewt-mdbread: reads a TriviaBot Access file for the importer.
//
// libmdb trusts the file: a damaged or hostile file can make it crash, loop
// or allocate without bound. So it runs here, in a process of its own with
// resource limits, and QuizNewt only ever parses the plain text we print.
//
// Usage:
//   quiznewt-mdbread tables FILE        the user tables, one "T" line each
//   quiznewt-mdbread rows FILE TABLE    "N" with the row count the table
//                                       claims, then one "R" line per row
//
// Output lines: a letter, then tab-separated fields, then "\n"; inside a
// field, backslash, tab, CR and LF are written as \\ \t \r \n. A final "."
// line marks complete output; an error is one "E" line and exit status 2.

// glib first: mdbtools.h would include it inside extern "C".
#include <glib.h>
#include <mdbtools.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void put(const char* text)
{
    if (std::fputs(text, stdout) == EOF)
        std::exit(3);
}

void putField(const char* text)
{
    std::string out;
    out.reserve(std::strlen(text) + 8);
    for (const char* p = text; *p; ++p) {
        switch (*p) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += *p;
        }
    }
    put(out.c_str());
}

[[noreturn]] void fail(const std::string& message)
{
    put("E\t");
    putField(message.c_str());
    put("\n");
    std::fflush(stdout);
    std::exit(2);
}

void limitResources()
{
    // A table definition that lies about its size must not eat the machine.
    const rlimit memory{1024UL * 1024 * 1024, 1024UL * 1024 * 1024};
    setrlimit(RLIMIT_AS, &memory);
    const rlimit cpu{60, 60};
    setrlimit(RLIMIT_CPU, &cpu);
    const rlimit core{0, 0};
    setrlimit(RLIMIT_CORE, &core);
}

bool isSystemName(const char* name)
{
    return g_ascii_strncasecmp(name, "MSys", 4) == 0;
}

// User tables only: Access flags its own tables, and no user table may be
// called MSys*, so a name like that is never a category even if unflagged.
std::vector<MdbCatalogEntry*> userTables(MdbHandle* mdb)
{
    std::vector<MdbCatalogEntry*> tables;
    if (!mdb_read_catalog(mdb, MDB_TABLE))
        fail("The file's table catalog cannot be read.");
    for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type != MDB_TABLE || mdb_is_system_table(entry) || isSystemName(entry->object_name))
            continue;
        tables.push_back(entry);
    }
    return tables;
}

// The column's number for mdb_bind_column (counted from 1), or 0.
int findColumn(MdbTableDef* table, const char* name)
{
    for (unsigned int i = 0; i < table->columns->len; ++i) {
        auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        // Access compares column names without regard to case.
        if (g_ascii_strcasecmp(column->name, name) == 0)
            return int(i) + 1;
    }
    return 0;
}

int listTables(MdbHandle* mdb)
{
    for (MdbCatalogEntry* entry : userTables(mdb)) {
        put("T\t");
        putField(entry->object_name);
        put("\n");
    }
    put(".\n");
    return 0;
}

int readRows(MdbHandle* mdb, const char* tableName)
{
    MdbCatalogEntry* found = nullptr;
    for (MdbCatalogEntry* entry : userTables(mdb)) {
        if (std::strcmp(entry->object_name, tableName) == 0) {
            found = entry;
            break;
        }
    }
    if (!found)
        fail(std::string("The file has no table \"") + tableName + "\".");

    MdbTableDef* table = mdb_read_table(found);
    if (!table)
        fail(std::string("The definition of table \"") + tableName + "\" cannot be read.");
    if (!mdb_read_columns(table) || table->num_cols != table->columns->len)
        fail(std::string("The columns of table \"") + tableName + "\" cannot be read.");

    const int questions = findColumn(table, "questions");
    const int answers = findColumn(table, "answers");
    if (!questions || !answers) {
        fail(std::string("The table \"") + tableName + "\" has no column \""
             + (questions ? "answers" : "questions")
             + "\"; a TriviaBot table has the columns \"questions\" and \"answers\".");
    }

    const size_t size = mdb->bind_size;
    std::vector<char> question(size + 1, 0);
    std::vector<char> answer(size + 1, 0);
    int questionLength = 0;
    int answerLength = 0;
    mdb_rewind_table(table);
    if (mdb_bind_column(table, questions, question.data(), &questionLength) == -1
        || mdb_bind_column(table, answers, answer.data(), &answerLength) == -1)
        fail("The columns \"questions\" and \"answers\" cannot be read.");

    char count[32];
    std::snprintf(count, sizeof count, "N\t%u\n", table->num_rows);
    put(count);
    while (mdb_fetch_row(table)) {
        put("R\t");
        putField(question.data());
        put("\t");
        putField(answer.data());
        put("\n");
        question[0] = answer[0] = '\0';
    }
    put(".\n");
    mdb_free_tabledef(table);
    return 0;
}

}

int main(int argc, char** argv)
{
    limitResources();
    const bool tables = argc == 3 && std::strcmp(argv[1], "tables") == 0;
    const bool rows = argc == 4 && std::strcmp(argv[1], "rows") == 0;
    if (!tables && !rows) {
        std::fprintf(stderr, "usage: %s tables FILE | rows FILE TABLE\n", argv[0]);
        return 1;
    }
    // Our output is UTF-8 whatever the user's environment asks libmdb for.
    setenv("MDBICONV", "UTF-8", 1);
    // The caller checked too, but the name may point elsewhere by now: a FIFO
    // would hold mdb_open until the caller gives up.
    struct stat info {};
    if (stat(argv[2], &info) == 0 && !S_ISREG(info.st_mode))
        fail("The file is not a regular file.");
    MdbHandle* mdb = mdb_open(argv[2], MDB_NOFLAGS);
    if (!mdb)
        fail("The file cannot be opened as an Access database.");
    const int status = tables ? listTables(mdb) : readRows(mdb, argv[3]);
    mdb_close(mdb);
    if (std::fflush(stdout) != 0)
        return 3;
    return status;
}
