// Runs a fuzz target over files instead of under libFuzzer, so that every ordinary test run feeds
// the seeds (and any input a fuzz run once found and that was kept as a seed) through the same
// entry point: a reader that crashes, hangs or trips a sanitizer on one of them fails the test.
//
//   NAME_replay FILE|FOLDER...     (a folder stands for the files in it, in name order)
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

QStringList InputFiles(const QString& path) {
    const QFileInfo info(path);
    if (!info.isDir())
        return {path};
    QStringList files;
    const QDir folder(path);
    for (const QString& name : folder.entryList(QDir::Files, QDir::Name))
        files.append(folder.filePath(name));
    return files;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE|FOLDER...\n", argv[0]);
        return 2;
    }
    QStringList inputs;
    for (int i = 1; i < argc; ++i)
        inputs += InputFiles(QString::fromLocal8Bit(argv[i]));
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    if (inputs.isEmpty()) {
        std::fprintf(stderr, "no inputs to replay\n");
        return 1;
    }
    for (const QString& input : inputs) {
        QFile file(input);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(input), qPrintable(file.errorString()));
            return 1;
        }
        const QByteArray bytes = file.readAll();
        std::printf("%s (%lld bytes)\n", qPrintable(input), static_cast<long long>(bytes.size()));
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()),
                               static_cast<size_t>(bytes.size()));
    }
    std::printf("%lld input(s) replayed\n", static_cast<long long>(inputs.size()));
    return 0;
}
