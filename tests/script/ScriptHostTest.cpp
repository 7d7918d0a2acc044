// The script host: one state for every script, protected runs whose errors
// reach the host output, print/write formatting and the Lua 4.0 names.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "script/scriptHost.h"
#include "util/output.h"

namespace {

namespace fs = std::filesystem;

std::string captured;

bool hasLine(const std::string& output, const std::string& line) {
    return output.rfind(line + "\n", 0) == 0 || output.find("\n" + line + "\n") != std::string::npos;
}

void capture(const char* text, size_t length) { captured.append(text, length); }

class ScriptHostTest : public testing::Test {
protected:
    void SetUp() override {
        host = createScriptHost();
        ASSERT_NE(host->luaState, nullptr);
        folder = fs::temp_directory_path() / ("morvista-script-" + std::to_string(getpid()));
        fs::create_directories(folder);
        captured.clear();
        setOutputHook(capture);
    }
    void TearDown() override {
        setOutputHook(nullptr);
        destroyScriptHost(host);
        host = nullptr;
        fs::remove_all(folder);
    }

    // Runs a chunk and returns what it printed.
    std::string chunk(const std::string& text, int* status = nullptr) {
        captured.clear();
        int result = runScriptChunk(host, text.c_str());
        if (status) *status = result;
        return captured;
    }

    std::string writeFile(const char* name, const std::string& content) {
        std::string path = (folder / name).string();
        FILE* file = fopen(path.c_str(), "wb");
        fwrite(content.data(), 1, content.size(), file);
        fclose(file);
        return path;
    }

    ScriptHost* host = nullptr;
    fs::path folder;
};

TEST_F(ScriptHostTest, GlobalsPersistFromOneScriptToTheNext) {
    EXPECT_EQ(runScriptChunk(host, "counter = addone(40)"), 0);
    std::string file = writeFile("next.lua", "counter = counter + 1\n");
    EXPECT_EQ(runScriptFile(host, file.c_str()), 0);
    EXPECT_EQ(chunk("print(counter, addone(1.5))"), "42\t2.5\n");
}

struct ErrorCase {
    const char* chunk;
    const char* expected;  // part of the reported text
};

TEST_F(ScriptHostTest, AnErrorEndsOnlyThatScript) {
    const ErrorCase cases[] = {
        {"print(nil .. 1); print(\"after\")", "attempt to concatenate a nil value"},
        {"print(", "error: [string \"print(\"]:1:"},
        {"addone()", "bad argument #1 to 'addone' (number expected, got no value)"},
        {"addone({})", "bad argument #1 to 'addone'"},
        {"messageBox()", "bad argument #1 to 'messageBox'"},
        {"messageBoxTitle(\"text\")", "bad argument #2 to 'messageBoxTitle'"},
        {"error({})", "(error object is a table value)"},
        {"local function f() return f() + 1 end f()", "stack overflow"},
        {"strsub()", "bad argument #1"},
        {"tinsert({}, -1e15, 0)", "position out of bounds"},
        {"write({})", "bad argument #1"},
        {"read(\"*z\")", "invalid format"},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.chunk);
        int status = 0;
        std::string output = chunk(c.chunk, &status);
        EXPECT_NE(status, 0);
        EXPECT_EQ(output.rfind("error: ", 0), 0u) << output;
        EXPECT_NE(output.find(c.expected), std::string::npos) << output;
        EXPECT_FALSE(hasLine(output, "after"));
        EXPECT_EQ(output.find("Sorry"), std::string::npos);  // only files say sorry
        EXPECT_EQ(chunk("print(\"alive\")"), "alive\n");
    }
}

TEST_F(ScriptHostTest, AFileThatCannotRunSaysSorry) {
    struct FileCase {
        std::string path;
        const char* expected;
    };
    const FileCase cases[] = {
        {writeFile("broken.lua", "x = = 1\n"), "broken.lua:1:"},
        {writeFile("fails.lua", "print(\"before\")\nlocal t = nil\nprint(t.field)\nprint(\"after\")\n"),
         "fails.lua:3: attempt to index a nil value"},
        {(folder / "missing.lua").string(), "cannot open"},
        {writeFile("binary.lua", "\x1bLua\x54"), "binary chunk"},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.path);
        captured.clear();
        EXPECT_NE(runScriptFile(host, c.path.c_str()), 0);
        EXPECT_NE(captured.find(c.expected), std::string::npos) << captured;
        EXPECT_TRUE(hasLine(captured, "before") == (c.path.find("fails") != std::string::npos));
        EXPECT_FALSE(hasLine(captured, "after"));
        std::string sorry = "Sorry could not run " + c.path + ".\n";
        ASSERT_GE(captured.size(), sorry.size());
        EXPECT_EQ(captured.substr(captured.size() - sorry.size()), sorry);
    }
    captured.clear();
    EXPECT_NE(runScriptFileAs(host, (folder / "gone.lua").string().c_str(), "gone.lua"), 0);
    EXPECT_NE(captured.find("Sorry could not run gone.lua.\n"), std::string::npos);
}

TEST_F(ScriptHostTest, ErrorTextGoesThroughAlertAndErrorMessage) {
    // A script may take over _ALERT and _ERRORMESSAGE as in Lua 4.0.
    chunk("_ALERT = function(text) write(\"<\", text, \">\") end");
    EXPECT_EQ(chunk("error(\"one\", 0)"), "<error: one\nstack traceback:\n\t[C]: in function 'error'\n"
                                          "\t[string \"error(\"one\", 0)\"]:1: in main chunk\n>");
    chunk("_ERRORMESSAGE = function(message) write(\"E:\", strlen(message), \"\\n\") end");
    EXPECT_EQ(chunk("error(\"two\", 0)").rfind("E:", 0), 0u);
    // A broken handler does not lose the error.
    chunk("_ERRORMESSAGE = function() error(\"handler broke\") end");
    std::string output = chunk("error(\"three\", 0)");
    EXPECT_NE(output.find("three"), std::string::npos) << output;
    EXPECT_NE(output.find("handler broke"), std::string::npos) << output;
}

struct OutputCase {
    const char* chunk;
    const char* output;
};

TEST_F(ScriptHostTest, PrintWriteAndTostringWriteNumbersAsLua40) {
    const OutputCase cases[] = {
        {"print(1, \"a\", nil, true)", "1\ta\tnil\ttrue\n"},
        {"print()", "\n"},
        {"print(42.0, 10 / 2, 0.1, 1 / 3, 2 ^ 53, -7)", "42\t5\t0.1\t0.33333333333333\t9.007199254741e+15\t-7\n"},
        {"write(1.5, \"x\", 2, 3.0)", "1.5x23"},
        {"io.write(\"io \", 4.0, \"\\n\")", "io 4\n"},
        {"print(tostring(6.0) .. \"|\" .. tostring(\"s\") .. \"|\" .. tostring(nil))", "6|s|nil\n"},
        {"local saved = tostring tostring = function() return \"T\" end print(1, 2) tostring = saved", "T\tT\n"},
        {"_ALERT(\"alert text\")", "alert text"},
        {"print(format(\"%d|%s|%5.1f|%x|%q|%c\", 7.9, 3.0, 2, 255.5, 4.0, 65.5))", "7|3|  2.0|ff|\"4\"|A\n"},
    };
    for (const OutputCase& c : cases) {
        SCOPED_TRACE(c.chunk);
        int status = -1;
        EXPECT_EQ(chunk(c.chunk, &status), c.output);
        EXPECT_EQ(status, 0);
    }
}

TEST_F(ScriptHostTest, Lua40NamesKeepTheirMeaning) {
    const OutputCase cases[] = {
        // Trigonometry in degrees.
        {"print(sin(90), cos(0), tan(45), sin(30))", "1\t1\t1\t0.5\n"},
        {"print(asin(1), acos(0), atan(1), atan2(1, -1))", "90\t90\t45\t135\n"},
        {"print(deg(PI), rad(180), PI)", "180\t3.1415926535898\t3.1415926535898\n"},
        // Strings; fractional indexes truncate as in 4.0.
        {"print(strlen(\"abc\"), strsub(\"hello\", 2, 3.7), strsub(\"hello\", -3))", "3\tel\tllo\n"},
        {"print(strlower(\"AbC\"), strupper(\"AbC\"), strchar(72, 105.9), strrep(\"ab\", 2.5))", "abc\tABC\tHi\tabab\n"},
        {"print(strbyte(\"AB\"), strbyte(\"AB\", 2), ascii(\"a\"))", "65\t66\t97\n"},
        {"print(strfind(\"a.b.c\", \".\", 3.5, 1))", "4\t4\n"},
        {"print(gsub(\"hello\", \"l\", \"L\", 1.5))", "heLlo\t1\n"},
        // Numbers.
        {"print(abs(-3), ceil(1.2), floor(-1.5), sqrt(16), min(3, 1, 2), max(3, 1, 2))", "3\t2\t-2\t4\t1\t3\n"},
        {"print(mod(7, 3), mod(-7, 3), mod(7.5, 2), log(1), log10(1000), exp(0))", "1\t-1\t1.5\t0\t3\t1\n"},
        {"print(frexp(8)) print(ldexp(0.5, 4.9))", "0.5\t4\n8\n"},
        {"randomseed(3) local a = random(100) randomseed(3.9) print(a == random(100))", "true\n"},
        {"local ok = true for i = 1, 200 do local r = random(2.9) ok = ok and (r == 1 or r == 2) end "
         "local f = random() print(ok, f >= 0 and f < 1)",
         "true\ttrue\n"},
        // Counts and indexes are integers: they join text without ".0".
        {"print(\"n\" .. strlen(\"abcd\") .. getn({1, 2}) .. floor(2.5))", "n422\n"},
    };
    for (const OutputCase& c : cases) {
        SCOPED_TRACE(c.chunk);
        int status = -1;
        EXPECT_EQ(chunk(c.chunk, &status), c.output);
        EXPECT_EQ(status, 0);
    }
}

TEST_F(ScriptHostTest, Lua40TableFunctions) {
    const OutputCase cases[] = {
        {"t = {} tinsert(t, \"a\") tinsert(t, 1, \"b\") tinsert(t, 2.7, \"c\") print(getn(t), t.n, t[1], t[2], t[3])",
         "3\t3\tb\tc\ta\n"},
        {"print(tremove(t), tremove(t, 1), getn(t), t[1], t[2])", "a\tb\t1\tc\tnil\n"},
        {"print(tremove({}))", "\n"},
        {"u = {1, 2, 3} print(tremove(u, 7), tremove(u, 0), getn(u), u[3])", "nil\tnil\t3\t3\n"},
        {"print(getn({1, 2, nil, 4}), getn({n = 7}), getn({}), getn({x = 1, [3] = 0}))", "4\t7\t0\t3\n"},
        {"s = {3, 1, 2, n = 2} sort(s) print(s[1], s[2], s[3])", "1\t3\t2\n"},  // only 1..n
        {"s = {3, 1, 2} sort(s, function(a, b) return a > b end) print(s[1], s[2], s[3])", "3\t2\t1\n"},
        {"print(foreachi({10, 20, 30}, function(i, v) if v == 20 then return i end end))", "2\n"},
        {"n = 0 foreach({a = 1, b = 2}, function(k, v) n = n + v end) print(n)", "3\n"},
        {"print(call(function(a, b) return a + b, a * b end, {3, 4}))", "7\t12\n"},
        {"print(call(error, {\"quiet\"}, \"x\", nil))", "nil\n"},
        {"print(call(error, {\"handled\", 0}, \"x\", function(m) write(\"[\", m, \"]\") end))", "[handled]nil\n"},
        {"print(dostring(\"return 1 + 1, 3\"), dostring(\"y = 1\"))", "2\ttrue\n"},
    };
    for (const OutputCase& c : cases) {
        SCOPED_TRACE(c.chunk);
        int status = -1;
        EXPECT_EQ(chunk(c.chunk, &status), c.output);
        EXPECT_EQ(status, 0);
    }

    // Protected calls, dostring and dofile report an error and go on.
    const char* reported[] = {
        "print(call(function() error(\"boom\") end, {}, \"x\"))",
        "print(dostring(\"error('bad')\"))",
        "print(dostring(\"x = = 1\"))",
        "print(dofile(\"no such file.lua\"))",
        "print(dostring(string.dump(function() end)))",  // compiled chunks are refused
    };
    for (const char* text : reported) {
        SCOPED_TRACE(text);
        int status = -1;
        std::string output = chunk(text, &status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(output.rfind("error: ", 0), 0u) << output;
        EXPECT_EQ(output.substr(output.size() - 4), "nil\n") << output;
    }
    // Without "x" the error goes on to the caller.
    int status = 0;
    chunk("call(error, {\"loud\"}) print(\"after\")", &status);
    EXPECT_NE(status, 0);
}

TEST_F(ScriptHostTest, Lua40FileFunctions) {
    std::string path = (folder / "out.txt").string();
    std::string script = "local name = [[" + path + "]]\n" + R"(
        writeto(name) write("line one ", 3, "\n", "second 12.5 word") writeto()
        write("to host\n")
        appendto(name) write("\nlast") writeto()
        readfrom(name)
        print(read())
        print(read("*w"), read("*n"), read("w"))
        print(read("*l"), read("*l"))
        print(read(), read("*a"))
        readfrom()
        local f = readfrom(name) print(read(f, 4), read(5)) readfrom()
        print(readfrom(name .. ".missing") == nil)
        local h = writeto(name) write(h, "direct") writeto()
        readfrom(name) print(read("*a")) readfrom()
        print(rename(name, name .. ".moved") ~= nil, remove(name .. ".moved") ~= nil, remove(name) == nil)
        print(type(tmpname()), type(getenv("PATH")), getenv("MORVISTA_NOT_SET"), strlen(date("%Y")), type(clock()))
        print(execute("exit 3"))
        readfrom("|echo piped") print(read()) readfrom()
    )";
    int status = -1;
    EXPECT_EQ(chunk(script, &status),
              "to host\n"
              "line one 3\n"
              "second\t12.5\tword\n"
              "\tlast\n"
              "nil\t\n"
              "line\t one \n"
              "true\n"
              "direct\n"
              "true\ttrue\ttrue\n"
              "string\tstring\tnil\t4\tnumber\n"
              "3\n"
              "piped\n");
    EXPECT_EQ(status, 0);
}

}  // namespace
