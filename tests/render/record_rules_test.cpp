// Every field of the record a render hands the pipeline against the rule that
// defines it, written out in data/record_rules.txt as an expression on the
// parameter values. The record's fields are taken from its declaration, so a
// field without a rule fails; each configuration of the file (every parameter
// away from its default, then one switch or edge value changed) is rendered
// once and each field compared, naming the field and the rule on failure.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "fake_params.h"
#include "params/param_table.h"
#include "plugin/render_options_fill.h"

using namespace kalthorne;

namespace {

using Record = TextureOptionsStruct;

// ------------------------------------------------------------ the layout

struct Leaf {
    size_t offset;
    char type;  // 'b' uint8_t, 'i' int32_t, 'f' float
};

struct Layout {
    size_t size = 0, align = 1;
    std::vector<std::pair<std::string, Leaf>> leaves;  // dotted names, declaration order
};

// The record's leaf fields with their offsets, read from its declaration with
// the usual alignment rules; the sizes are checked against the compiler's.
std::map<std::string, Leaf> recordFields() {
    std::ifstream in(TEXTURE_OPTIONS_HEADER);
    std::map<std::string, Layout> types = {{"uint8_t", {1, 1, {{"", {0, 'b'}}}}},
                                           {"int32_t", {4, 4, {{"", {0, 'i'}}}}},
                                           {"float", {4, 4, {{"", {0, 'f'}}}}}};
    std::map<std::string, size_t> constants;
    const std::regex constant(R"(constexpr int (\w+) = (\d+);)"), open(R"(^struct (\w+) \{)"),
        member(R"(^\s+(\w+) (\w+)(?:\[(\w+)\])?(?: = [^;]+)?;)");
    std::string current;
    Layout layout;
    std::smatch m;
    for (std::string line; std::getline(in, line);) {
        if (std::regex_search(line, m, constant)) constants[m[1]] = std::stoul(m[2]);
        if (std::regex_search(line, m, open)) current = m[1], layout = Layout{};
        if (!current.empty() && std::regex_search(line, m, member)) {
            const Layout& t = types.at(m[1]);
            const size_t count = m[3].matched ? constants.at(m[3]) : 1;
            for (size_t k = 0; k < count; ++k) {
                layout.size = (layout.size + t.align - 1) / t.align * t.align;
                const std::string name = std::string(m[2]) + (m[3].matched ? "[" + std::to_string(k) + "]" : "");
                for (const auto& leaf : t.leaves)
                    layout.leaves.push_back({name + (leaf.first.empty() ? "" : "." + leaf.first),
                                             {layout.size + leaf.second.offset, leaf.second.type}});
                layout.size += t.size;
            }
            layout.align = std::max(layout.align, t.align);
        }
        if (!current.empty() && line.rfind("};", 0) == 0) {
            layout.size = (layout.size + layout.align - 1) / layout.align * layout.align;
            types[current] = layout;
            current.clear();
        }
    }
    EXPECT_EQ(types["ColorGroupOptions"].size, sizeof(ColorGroupOptions));
    EXPECT_EQ(types["RefineSlotOptions"].size, sizeof(RefineSlotOptions));
    EXPECT_EQ(types["TextureOptionsStruct"].size, sizeof(Record));
    return {types["TextureOptionsStruct"].leaves.begin(), types["TextureOptionsStruct"].leaves.end()};
}

double fieldValue(const Record& o, const Leaf& f) {
    const char* p = reinterpret_cast<const char*>(&o) + f.offset;
    if (f.type == 'b') return *reinterpret_cast<const uint8_t*>(p);
    int32_t i;
    float x;
    if (f.type == 'i') return std::memcpy(&i, p, 4), i;
    return std::memcpy(&x, p, 4), x;
}

// ---------------------------------------------------------- the rules

// Expressions with C's operators (? : || && == != < <= > >= + - * / !),
// numbers, names and calls of max, min, exp2, trunc, f32 (round to float),
// powf (in single precision), in(x, a, b, ...) and the file's tables.
class Evaluator {
public:
    std::function<double(const std::string&)> lookup;
    std::map<std::string, std::vector<double>> tables;

    double operator()(const std::string& text) {
        s_ = text, i_ = 0;
        const double v = conditional();
        if (skip(), i_ != s_.size()) throw std::runtime_error("cannot read '" + s_.substr(i_) + "'");
        return v;
    }

private:
    void skip() { while (i_ < s_.size() && s_[i_] == ' ') ++i_; }
    bool eat(const std::string& op) {
        skip();
        if (s_.compare(i_, op.size(), op) != 0) return false;
        if (op.size() == 1 && i_ + 1 < s_.size() && std::strchr("=&|", s_[i_ + 1]) && std::strchr("=<>!&|", op[0]))
            return false;  // "<" is not the start of "<="
        i_ += op.size();
        return true;
    }
    double conditional() {
        const double c = binary(0);
        if (!eat("?")) return c;
        const double a = conditional();
        if (!eat(":")) throw std::runtime_error("':' expected in " + s_);
        const double b = conditional();
        return c != 0 ? a : b;
    }
    double binary(int level) {
        static const std::vector<std::vector<std::string>> ops = {
            {"||"}, {"&&"}, {"==", "!="}, {"<=", ">=", "<", ">"}, {"+", "-"}, {"*", "/"}};
        if (level == int(ops.size())) return unary();
        double a = binary(level + 1);
        for (bool more = true; more;) {
            more = false;
            for (const std::string& op : ops[level])
                if (eat(op)) {
                    const double b = binary(level + 1);
                    a = op == "||" ? (a != 0 || b != 0) : op == "&&" ? (a != 0 && b != 0) : op == "==" ? a == b
                      : op == "!=" ? a != b : op == "<=" ? a <= b : op == ">=" ? a >= b : op == "<" ? a < b
                      : op == ">" ? a > b : op == "+" ? a + b : op == "-" ? a - b : op == "*" ? a * b : a / b;
                    more = true;
                    break;
                }
        }
        return a;
    }
    double unary() {
        if (eat("-")) return -unary();
        if (eat("!")) return unary() == 0;
        if (eat("(")) {
            const double v = conditional();
            eat(")");
            return v;
        }
        skip();
        const size_t start = i_;
        if (std::isdigit(static_cast<unsigned char>(s_[i_]))) {
            while (i_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[i_])) || s_[i_] == '.')) ++i_;
            return std::stod(s_.substr(start, i_ - start));
        }
        while (i_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[i_])) || std::strchr("_.[]", s_[i_])))
            ++i_;
        const std::string name = s_.substr(start, i_ - start);
        if (name.empty()) throw std::runtime_error("name expected at '" + s_.substr(i_) + "' in " + s_);
        if (!eat("(")) return lookup(name);
        std::vector<double> a;
        do a.push_back(conditional()); while (eat(","));
        eat(")");
        if (name == "max") return std::max(a.at(0), a.at(1));
        if (name == "min") return std::min(a.at(0), a.at(1));
        if (name == "exp2") return std::exp2(a.at(0));
        if (name == "trunc") return std::trunc(a.at(0));
        if (name == "f32") return static_cast<float>(a.at(0));
        if (name == "powf") return powf(static_cast<float>(a.at(0)), static_cast<float>(a.at(1)));
        if (name == "in") {
            for (size_t k = 1; k < a.size(); ++k)
                if (a[0] == a[k]) return 1;
            return 0;
        }
        return tables.at(name).at(static_cast<size_t>(a.at(0)));
    }
    std::string s_;
    size_t i_ = 0;
};

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string x; in >> x;) w.push_back(x);
    return w;
}

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size()) s.replace(at, from.size(), to);
    return s;
}

// A rule file line: a definition or a field rule, for every member of its block.
struct Line {
    bool let;
    std::string name, expr;
};
struct Block {
    std::vector<std::pair<std::string, std::map<std::string, std::string>>> members;  // member, $vars
    std::vector<Line> lines;
};
struct Config {
    std::string label;
    std::vector<std::pair<std::string, double>> values;
    std::vector<std::string> read, unread;  // parameters the render must (not) read
};

struct Rules {
    std::vector<Line> globals;
    std::vector<Block> blocks, firstBlocks;  // rules of a render, of the first fill
    bool inFirst = false;
    std::map<std::string, std::vector<double>> tables;
    std::vector<std::pair<std::string, double>> base;
    std::vector<Config> configs;
};

Rules readRules() {
    Rules r;
    std::ifstream in(RECORD_RULES_FILE);
    EXPECT_TRUE(in) << RECORD_RULES_FILE;
    for (std::string line; std::getline(in, line);) {
        line = line.substr(0, line.find('#'));
        std::vector<std::string> w = words(line);
        if (w.empty()) continue;
        const std::string rest = line.substr(line.find(w[0]) + w[0].size());
        if (w[0] == "table") {
            for (size_t k = 2; k < w.size(); ++k) r.tables[w[1]].push_back(std::stod(w[k]));
        } else if (w[0] == "sweep") {
            for (size_t k = 2; k < w.size(); ++k)
                r.configs.push_back({w[1] + " " + w[k], {{w[1], std::stod(w[k])}}, {}, {}});
        } else if (w[0] == "base" || w[0] == "config") {
            Config c{w[0] == "base" ? "" : rest.substr(1, rest.find(':') - 1), {}, {}, {}};
            const std::vector<std::string> v = words(w[0] == "base" ? rest : rest.substr(rest.find(':') + 1));
            std::vector<std::string>* names = nullptr;
            for (size_t k = 0; k < v.size(); ++k) {
                if (v[k] == "read" || v[k] == "unread") names = v[k] == "read" ? &c.read : &c.unread;
                else if (names) names->push_back(v[k]);
                else c.values.emplace_back(v[k], std::stod(v.at(k + 1))), ++k;
            }
            if (w[0] == "base") r.base = c.values; else r.configs.push_back(c);
        } else if (w[0][0] == '[') {
            Block b;
            const size_t open = line.find('['), close = line.rfind(']');
            std::istringstream members(line.substr(open + 1, close - open - 1));
            for (std::string m; std::getline(members, m, '|');) {
                const std::vector<std::string> mw = words(m);
                auto& entry = b.members.emplace_back(mw.at(0) == "record" ? "" : mw[0] + ".",
                                                     std::map<std::string, std::string>{});
                for (size_t k = 1; k < mw.size(); ++k)
                    entry.second["$" + mw[k].substr(0, mw[k].find('='))] = mw[k].substr(mw[k].find('=') + 1);
            }
            (r.inFirst ? r.firstBlocks : r.blocks).push_back(b);
        } else if (w[0] == "section") {
            r.inFirst = w.at(1) == "first";
        } else {
            const bool let = w[0] == "let";
            const std::string name = let ? w.at(1) : w[0];
            std::string expr = line.substr(line.find(name, let ? line.find("let") + 3 : 0) + name.size());
            Line l{let, name, expr.substr(expr.find_first_not_of(' '))};
            std::vector<Block>& blocks = r.inFirst ? r.firstBlocks : r.blocks;
            (blocks.empty() ? r.globals : blocks.back().lines).push_back(l);
        }
    }
    return r;
}

// Values away from every default: doubles spread over their range, ints
// on a non-zero step of theirs, so no two neighbours share a value.
void setAwayFromDefaults(FakeParams& p, double phase) {
    int k = 0;
#define KALTHORNE_AWAY(A, Kind, Name, Label, Hint, Default, Low, High, Attr)                                 \
    if (std::string(#Kind) == "Double" || std::string(#Kind) == "Int") {                                     \
        const double span = double(High) - double(Low), d = double(Default);                                   \
        double v = double(Low) + span * (0.05 + 0.9 * std::fmod(phase + 0.6180339887 * ++k, 1.0));              \
        if (std::string(#Kind) == "Int") v = double(Low) + 1 + std::fmod(std::floor(v), std::max(1.0, span)); \
        if (v == d || v == 0.5 || v == 0) v = d + (std::string(#Kind) == "Int" ? 1 : span * 0.0371);           \
        p.set(#Name, v);                                                                                        \
    }
    KALTHORNE_PARAM_TABLE(KALTHORNE_AWAY, unused)
#undef KALTHORNE_AWAY
}

struct Checker {
    const Rules& rules;
    const std::map<std::string, Leaf>& fields;
    std::set<std::string> checked;  // fields with a rule in the render section
    static constexpr int W = 1280, H = 536, kChannels = 3, kDevice = 2;

    // Compares `o` with the rules of `blocks`; `first` is the record a
    // render starts from (none for the first fill itself).
    void compare(const std::vector<Block>& blocks, const Record& o, const Record* first, const FakeParams& p) {
        std::map<std::string, double> lets;
        std::set<std::string> seen;
        std::string member, field;
        Evaluator eval;
        eval.tables = rules.tables;
        eval.lookup = [&](const std::string& n) -> double {
            if (lets.count(member + n)) return lets[member + n];
            if (lets.count(n)) return lets[n];
            if (n == "first" && first) return fieldValue(*first, fields.at(field));
            if (n == "width") return W;
            if (n == "height") return H;
            if (n == "channels") return kChannels;
            if (n == "device") return kDevice;
            if (fields.count(n)) return fieldValue(o, fields.at(n));
            return p.value(n);  // throws for an unknown name
        };
        const auto expect = [&](const std::string& expr) {
            const double want = eval(expr), got = fieldValue(o, fields.at(field));
            const bool same = fields.at(field).type == 'f'
                                  ? ::testing::internal::FloatingPoint<float>(float(want)).AlmostEquals(
                                        ::testing::internal::FloatingPoint<float>(float(got)))
                                  : got == want;
            if (!same)
                ADD_FAILURE() << field << " holds " << got << " where its rule \"" << expr << "\" gives " << want;
        };
        for (const Line& l : rules.globals) lets[l.name] = eval(l.expr);
        for (const Block& b : blocks)
            for (const Line& l : b.lines)
                for (const auto& m : b.members) {
                    std::string expr = l.expr;
                    for (const auto& v : m.second) expr = replaceAll(expr, v.first, v.second);
                    member = m.first;
                    field = member + l.name;
                    if (l.let) {
                        lets[field] = eval(expr);
                    } else if (l.name == "*") {  // every field without a rule of its own
                        for (const auto& f : fields)
                            if (!seen.count(field = f.first)) expect(expr);
                    } else {
                        ASSERT_TRUE(fields.count(field)) << "a rule for " << field << ", which the record lacks";
                        (first ? checked : seen).insert(field);
                        seen.insert(field);
                        expect(expr);
                    }
                }
    }

    void run(const Config& config, double phase) {
        SCOPED_TRACE("configuration " + config.label);
        FakeParams defaults, p;
        const Record first = firstFill(defaults.h, defaults, defaults, kDevice);
        for (FakeParams* q : {&p, &defaults}) {
            setAwayFromDefaults(*q, phase);
            for (const auto& v : rules.base) q->set(v.first, v.second);
            for (const auto& v : config.values) q->set(v.first, v.second);
        }
        Record o = first;
        ASSERT_EQ(fillRenderOptions(p.h, p, W, H, kChannels, o), RenderPlan::Process);
        for (const std::string& n : config.read) EXPECT_TRUE(p.wasRead(n)) << n << " was not read";
        for (const std::string& n : config.unread) EXPECT_FALSE(p.wasRead(n)) << n << " was read";
        compare(rules.blocks, o, &first, p);
        // The same values stored in a project: the first fill of an instance made from it.
        SCOPED_TRACE("the first fill");
        compare(rules.firstBlocks, firstFill(defaults.h, defaults, defaults, kDevice), nullptr, defaults);
    }
};

}  // namespace

TEST(RecordRules, EveryFieldFollowsItsRule) {
    const std::map<std::string, Leaf> fields = recordFields();
    const Rules rules = readRules();
    ASSERT_GT(fields.size(), 600u);
    Checker c{rules, fields, {}};
    c.run({"every parameter away from its default", {}, {}, {}}, 0.137);
    for (const auto& f : fields) EXPECT_TRUE(c.checked.count(f.first)) << "no rule for " << f.first;
    c.run({"every parameter away from its default, other values", {}, {}, {}}, 0.711);
    for (const Config& config : rules.configs) c.run(config, 0.137);
}
