// Converter throughput against the literal scan, md4c, memcpy and the Shift_JIS codec, in one run;
// prints the ratios the converters are held to.

#include "BenchDocuments.h"

#include "LiteralConverters.h"
#include <core/HenkanMod.h>
#include <storage/ShiftJisCodec.h>
#include <storage/TextCodec.h>

#include <benchmark/benchmark.h>
#include <md4c-html.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace qrn;

namespace {

constexpr std::size_t MB = 1 << 20;

struct Fixture {
    std::map<std::size_t, std::u16string> tags;  // by size in bytes
    std::map<std::size_t, std::u16string> html;  // ToHtml of tags, input of the reverse direction
    std::map<std::size_t, std::string> markdown;
    std::map<int, std::unique_ptr<TagTable>> dict; // by entry count
};

Fixture &fixture()
{
    static Fixture f = [] {
        Fixture x;
        for (int n : {300, 30000})
            x.dict[n] = std::make_unique<TagTable>(bench::makeDictionary(n));
        for (std::size_t size : {MB, 10 * MB}) {
            x.tags[size] = bench::makeTagDocument(size);
            x.html[size] = ToHtml(x.tags[size], *x.dict[300]);
            x.markdown[size] = bench::makeMarkdownDocument(size);
        }
        return x;
    }();
    return f;
}

std::int64_t utf16Bytes(const std::u16string &s) { return static_cast<std::int64_t>(s.size() * 2); }

void BM_ToHtml(benchmark::State &state, std::size_t size, int entries)
{
    const auto &doc = fixture().tags[size];
    const TagTable &table = *fixture().dict[entries];
    for (auto _ : state)
        benchmark::DoNotOptimize(ToHtml(doc, table));
    state.SetBytesProcessed(state.iterations() * utf16Bytes(doc));
}

void BM_ToJapaneseTags(benchmark::State &state, std::size_t size, int entries)
{
    const auto &doc = fixture().html[size];
    const TagTable &table = *fixture().dict[entries];
    for (auto _ : state)
        benchmark::DoNotOptimize(ToJapaneseTags(doc, table));
    state.SetBytesProcessed(state.iterations() * utf16Bytes(doc));
}

void BM_LiteralToHtml(benchmark::State &state, std::size_t size, int entries)
{
    const auto &doc = fixture().tags[size];
    const TagTable &table = *fixture().dict[entries];
    for (auto _ : state)
        benchmark::DoNotOptimize(literal::ToHtml(doc, table));
    state.SetBytesProcessed(state.iterations() * utf16Bytes(doc));
}

void BM_LiteralToJapaneseTags(benchmark::State &state, std::size_t size, int entries)
{
    const auto &doc = fixture().html[size];
    const TagTable &table = *fixture().dict[entries];
    for (auto _ : state)
        benchmark::DoNotOptimize(literal::ToJapaneseTags(doc, table));
    state.SetBytesProcessed(state.iterations() * utf16Bytes(doc));
}

void md4cAppend(const MD_CHAR *text, MD_SIZE size, void *out) { static_cast<std::string *>(out)->append(text, size); }

void BM_Md4c(benchmark::State &state, std::size_t size)
{
    const auto &md = fixture().markdown[size];
    for (auto _ : state) {
        std::string html;
        html.reserve(md.size() * 2);
        md_html(md.data(), static_cast<MD_SIZE>(md.size()), md4cAppend, &html, 0, 0);
        benchmark::DoNotOptimize(html);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(md.size()));
}

void BM_Memcpy(benchmark::State &state, std::size_t size)
{
    const auto &doc = fixture().tags[size];
    std::u16string copy(doc.size(), u'\0');
    for (auto _ : state) {
        std::memcpy(copy.data(), doc.data(), doc.size() * 2);
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * utf16Bytes(doc));
}

void BM_ShiftJisEncode(benchmark::State &state, std::size_t size)
{
    const auto &doc = fixture().tags[size];
    for (auto _ : state)
        benchmark::DoNotOptimize(ShiftJisCodec::encode(fromU16(doc), Unmappable::CharacterReference));
    state.SetBytesProcessed(state.iterations() * utf16Bytes(doc));
}

void BM_ShiftJisDecode(benchmark::State &state, std::size_t size)
{
    const auto &doc = fixture().tags[size];
    const QByteArray bytes = ShiftJisCodec::encode(fromU16(doc), Unmappable::QuestionMark).bytes;
    for (auto _ : state)
        benchmark::DoNotOptimize(ShiftJisCodec::decode(bytes));
    state.SetBytesProcessed(state.iterations() * utf16Bytes(doc));
}

// What a preview refresh or an export does with the text: convert, then encode the HTML.
void BM_ToHtmlThenEncode(benchmark::State &state, std::size_t size)
{
    const auto &doc = fixture().tags[size];
    const TagTable &table = *fixture().dict[300];
    for (auto _ : state) {
        const std::u16string html = ToHtml(doc, table);
        benchmark::DoNotOptimize(ShiftJisCodec::encode(QStringView(html.data(), qsizetype(html.size())),
                                                        Unmappable::CharacterReference));
    }
    state.SetBytesProcessed(state.iterations() * utf16Bytes(doc));
}

// Inputs for the command-line peers, in a folder of their own: Shift_JIS Japanese tags for
// qrn-convert, Markdown for md4c, 10 KB (start-up dominates) and 10 MB.
struct FileToFile {
    QTemporaryDir dir;
    QString dictionary;
    QString tagsIn(std::size_t size) const { return dir.filePath(QStringLiteral("in%1.qrnf").arg(size)); }
    QString mdIn(std::size_t size) const { return dir.filePath(QStringLiteral("in%1.md").arg(size)); }
    QString out() const { return dir.filePath(QStringLiteral("out.html")); }

    FileToFile()
    {
        for (std::size_t size : {std::size_t(10 * 1024), 10 * MB}) {
            const std::u16string tags = size == 10 * MB ? fixture().tags[size] : bench::makeTagDocument(size);
            const std::string md = size == 10 * MB ? fixture().markdown[size] : bench::makeMarkdownDocument(size);
            QFile t(tagsIn(size));
            t.open(QIODevice::WriteOnly);
            t.write(ShiftJisCodec::encode(fromU16(tags), Unmappable::QuestionMark).bytes);
            QFile m(mdIn(size));
            m.open(QIODevice::WriteOnly);
            m.write(md.data(), qint64(md.size()));
        }
        // The converter reads its default dictionary from its own folder: pass one explicitly.
        dictionary = dir.filePath(QStringLiteral("dict.dat"));
        QFile d(dictionary);
        d.open(QIODevice::WriteOnly);
        d.write("EndTagCom\r\n");
    }
};

FileToFile &files()
{
    static FileToFile f;
    return f;
}

// Runs a program to its end; its peak resident memory in bytes, or -1 when it failed.
long long runMeasured(const std::vector<std::string> &args)
{
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char *> argv;
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return static_cast<long long>(usage.ru_maxrss) * 1024;
}

std::vector<std::string> qrnConvertArgs(const QString &in, const QString &out)
{
    return {QRN_CONVERT_EXE, "to-html", "--dict", files().dictionary.toStdString(), in.toStdString(), out.toStdString()};
}

void BM_QrnConvertFile(benchmark::State &state, std::size_t size)
{
    const auto args = qrnConvertArgs(files().tagsIn(size), files().out());
    for (auto _ : state)
        if (runMeasured(args) < 0)
            state.SkipWithError("qrn-convert failed");
}

void BM_Md4cFile(benchmark::State &state, std::size_t size)
{
    const std::vector<std::string> args{MD4C_FILE_EXE, files().mdIn(size).toStdString(), files().out().toStdString()};
    for (auto _ : state)
        if (runMeasured(args) < 0)
            state.SkipWithError("md4c-file failed");
}

// 10,000 inputs of 2 KB converted by one run into --out-dir, qrn-convert against md4c-file doing
// the same over Markdown; seconds of each, the fastest of three runs.
std::pair<double, double> measureBatch()
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("in"));
    QDir(dir.path()).mkpath(QStringLiteral("out"));
    const QByteArray tags = ShiftJisCodec::encode(fromU16(bench::makeTagDocument(2048)), Unmappable::QuestionMark).bytes;
    const std::string md = bench::makeMarkdownDocument(2048);
    std::vector<std::string> qrn{QRN_CONVERT_EXE, "to-html", "--dict", files().dictionary.toStdString(), "--out-dir",
                                 dir.filePath(QStringLiteral("out")).toStdString()};
    std::vector<std::string> md4c{MD4C_FILE_EXE, "--out-dir", dir.filePath(QStringLiteral("out")).toStdString()};
    for (int i = 0; i < 10000; ++i) {
        const QString base = dir.filePath(QStringLiteral("in/page%1").arg(i));
        QFile t(base + QStringLiteral(".qrnf"));
        t.open(QIODevice::WriteOnly);
        t.write(tags);
        QFile m(base + QStringLiteral(".md"));
        m.open(QIODevice::WriteOnly);
        m.write(md.data(), qint64(md.size()));
        qrn.push_back((base + QStringLiteral(".qrnf")).toStdString());
        md4c.push_back((base + QStringLiteral(".md")).toStdString());
    }
    double best[2] = {1e9, 1e9};
    for (int run = 0; run < 3; ++run) {
        for (int which = 0; which < 2; ++which) {
            const auto start = std::chrono::steady_clock::now();
            if (runMeasured(which == 0 ? qrn : md4c) < 0)
                return {-1, -1};
            best[which] = std::min(best[which], std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
    }
    return {best[0], best[1]};
}

// Peak memory of each command on a 100 MB input, as a multiple of the input's size.
struct PeakMemory {
    double qrnConvert = -1, md4c = -1;
};

PeakMemory measurePeakMemory()
{
    PeakMemory peak;
    QTemporaryDir dir;
    const QString tags = dir.filePath(QStringLiteral("big.qrnf")), md = dir.filePath(QStringLiteral("big.md"));
    qint64 tagBytes = 0, mdBytes = 0;
    {
        const QByteArray tenTags = ShiftJisCodec::encode(fromU16(fixture().tags[10 * MB]), Unmappable::QuestionMark).bytes;
        QFile t(tags);
        t.open(QIODevice::WriteOnly);
        for (int i = 0; i < 10; ++i)
            tagBytes += t.write(tenTags);
        QFile m(md);
        m.open(QIODevice::WriteOnly);
        for (int i = 0; i < 10; ++i)
            mdBytes += m.write(fixture().markdown[10 * MB].data(), qint64(fixture().markdown[10 * MB].size()));
    }
    const long long q = runMeasured(qrnConvertArgs(tags, dir.filePath(QStringLiteral("big.html"))));
    const long long m =
        runMeasured({MD4C_FILE_EXE, md.toStdString(), dir.filePath(QStringLiteral("big2.html")).toStdString()});
    if (q > 0)
        peak.qrnConvert = double(q) / double(tagBytes);
    if (m > 0)
        peak.md4c = double(m) / double(mdBytes);
    return peak;
}

// Keeps each run's time per iteration and throughput by benchmark name.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> seconds, bytesPerSecond;
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs) {
            // "Name/iterations:5" is kept as "Name".
            std::string name = r.benchmark_name();
            if (const auto cut = name.find("/iterations:"); cut != std::string::npos)
                name.erase(cut);
            seconds[name] = r.GetAdjustedRealTime() * benchmark::GetTimeUnitMultiplier(r.time_unit);
            const auto it = r.counters.find("bytes_per_second");
            if (it != r.counters.end())
                bytesPerSecond[name] = it->second;
        }
    }
};

void registerAll()
{
    using benchmark::RegisterBenchmark;
    for (std::size_t size : {MB, 10 * MB}) {
        const std::string s = std::to_string(size / MB) + "MB";
        for (int n : {300, 30000}) {
            const std::string d = std::to_string(n);
            RegisterBenchmark(("ToHtml/" + s + "/" + d).c_str(), BM_ToHtml, size, n)->Unit(benchmark::kMillisecond);
            RegisterBenchmark(("ToJapaneseTags/" + s + "/" + d).c_str(), BM_ToJapaneseTags, size, n)->Unit(benchmark::kMillisecond);
        }
        RegisterBenchmark(("Md4c/" + s).c_str(), BM_Md4c, size)->Unit(benchmark::kMillisecond);
        RegisterBenchmark(("Memcpy/" + s).c_str(), BM_Memcpy, size)->Unit(benchmark::kMillisecond);
        RegisterBenchmark(("ShiftJisEncode/" + s).c_str(), BM_ShiftJisEncode, size)->Unit(benchmark::kMillisecond);
        RegisterBenchmark(("ShiftJisDecode/" + s).c_str(), BM_ShiftJisDecode, size)->Unit(benchmark::kMillisecond);
        RegisterBenchmark(("ToHtmlThenEncode/" + s).c_str(), BM_ToHtmlThenEncode, size)->Unit(benchmark::kMillisecond);
    }
    // The scan costs a table walk per word: 1 MB is enough to measure it.
    for (int n : {300, 30000}) {
        RegisterBenchmark(("LiteralToHtml/1MB/" + std::to_string(n)).c_str(), BM_LiteralToHtml, MB, n)
            ->Unit(benchmark::kMillisecond)->Iterations(n > 1000 ? 1 : 5);
        RegisterBenchmark(("LiteralToJapaneseTags/1MB/" + std::to_string(n)).c_str(), BM_LiteralToJapaneseTags, MB, n)
            ->Unit(benchmark::kMillisecond)->Iterations(n > 1000 ? 1 : 5);
    }
    RegisterBenchmark("QrnConvertFile/10KB", BM_QrnConvertFile, std::size_t(10 * 1024))
        ->Unit(benchmark::kMillisecond)->Iterations(50);
    RegisterBenchmark("Md4cFile/10KB", BM_Md4cFile, std::size_t(10 * 1024))->Unit(benchmark::kMillisecond)->Iterations(50);
    RegisterBenchmark("QrnConvertFile/10MB", BM_QrnConvertFile, 10 * MB)->Unit(benchmark::kMillisecond)->Iterations(5);
    RegisterBenchmark("Md4cFile/10MB", BM_Md4cFile, 10 * MB)->Unit(benchmark::kMillisecond)->Iterations(5);
}

void printRatio(const char *what, double value, const char *target, bool met)
{
    std::printf("  %-58s %10.2f   target %-8s %s\n", what, value, target, met ? "met" : "NOT MET");
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    registerAll();
    fixture();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    auto &bps = reporter.bytesPerSecond;
    auto &sec = reporter.seconds;
    const auto has = [&](const std::string &a, const std::string &b) { return bps.count(a) && bps.count(b); };
    std::printf("\nRatios (same run):\n");
    for (const std::string s : {"1MB", "10MB"}) {
        for (const std::string d : {"300", "30000"}) {
            if (has("ToHtml/" + s + "/" + d, "Md4c/" + s)) {
                const double r = bps["ToHtml/" + s + "/" + d] / bps["Md4c/" + s];
                printRatio(("ToHtml " + s + " dict " + d + " / md4c throughput").c_str(), r, ">= 8", r >= 8);
            }
        }
        if (has("ToHtml/" + s + "/300", "ToHtml/" + s + "/30000")) {
            const double r = bps["ToHtml/" + s + "/300"] / bps["ToHtml/" + s + "/30000"];
            printRatio(("ToHtml " + s + " time 30000 / 300 entries").c_str(), r, "<= 1.25", r <= 1.25);
        }
        if (has("ToJapaneseTags/" + s + "/300", "ToJapaneseTags/" + s + "/30000")) {
            const double r = bps["ToJapaneseTags/" + s + "/300"] / bps["ToJapaneseTags/" + s + "/30000"];
            printRatio(("ToJapaneseTags " + s + " time 30000 / 300 entries").c_str(), r, "<= 1.25", r <= 1.25);
        }
        if (has("ToHtml/" + s + "/300", "Memcpy/" + s))
            std::printf("  %-58s %10.4f\n", ("ToHtml " + s + " / memcpy throughput").c_str(),
                        bps["ToHtml/" + s + "/300"] / bps["Memcpy/" + s]);
    }
    for (const std::string d : {"300", "30000"}) {
        if (has("ToHtml/1MB/" + d, "LiteralToHtml/1MB/" + d)) {
            const double r = bps["ToHtml/1MB/" + d] / bps["LiteralToHtml/1MB/" + d];
            printRatio(("ToHtml / literal scan, 1MB dict " + d).c_str(), r, d == "30000" ? ">= 150" : "-",
                       d != "30000" || r >= 150);
        }
        if (has("ToJapaneseTags/1MB/" + d, "LiteralToJapaneseTags/1MB/" + d)) {
            const double r = bps["ToJapaneseTags/1MB/" + d] / bps["LiteralToJapaneseTags/1MB/" + d];
            printRatio(("ToJapaneseTags / literal scan, 1MB dict " + d).c_str(), r, d == "30000" ? ">= 150" : "-",
                       d != "30000" || r >= 150);
        }
    }
    if (sec.count("ToHtmlThenEncode/1MB") && sec.count("ToHtml/1MB/300")) {
        const double r = sec["ToHtmlThenEncode/1MB"] / sec["ToHtml/1MB/300"];
        printRatio("convert + Shift_JIS encode / convert alone, 1MB", r, "<= 2", r <= 2);
    }
    if (sec.count("QrnConvertFile/10KB") && sec.count("Md4cFile/10KB")) {
        const double r = sec["QrnConvertFile/10KB"] / sec["Md4cFile/10KB"];
        printRatio("qrn-convert file / md4c file, 10KB (start-up)", r, "<= 1.5", r <= 1.5);
    }
    if (sec.count("QrnConvertFile/10MB") && sec.count("Md4cFile/10MB")) {
        const double r = sec["QrnConvertFile/10MB"] / sec["Md4cFile/10MB"];
        printRatio("qrn-convert file / md4c file, 10MB", r, "<= 1", r <= 1);
    }
    const bool filtered = std::any_of(argv, argv + argc, [](const char *a) { return std::strncmp(a, "--benchmark_filter", 18) == 0; });
    if (!filtered) {
        const PeakMemory peak = measurePeakMemory();
        printRatio("qrn-convert peak memory / input, 100MB", peak.qrnConvert, "<= 3", peak.qrnConvert > 0 && peak.qrnConvert <= 3);
        std::printf("  %-58s %10.2f\n", "md4c-file peak memory / input, 100MB", peak.md4c);
        const auto [qrnBatch, md4cBatch] = measureBatch();
        std::printf("  %-58s %7.2f s / %.2f s\n", "10,000 files of 2 KB: qrn-convert / md4c-file", qrnBatch, md4cBatch);
        printRatio("qrn-convert / md4c-file, 10,000 files of 2 KB (durable)", qrnBatch / md4cBatch, "<= 2",
                   qrnBatch > 0 && qrnBatch / md4cBatch <= 2);
    }
    benchmark::Shutdown();
    return 0;
}
