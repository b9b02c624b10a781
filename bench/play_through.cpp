// Plays a WAV file through the window's sound-device module, as File > Play Output File does, and
// says when the module reports the end. Usage: quillfen_bench_play MODULE FILE
#include "mainwindow/audio_out.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <sndfile.h>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s MODULE FILE\n", argv[0]);
        return 2;
    }
    QLibrary module(QString::fromLocal8Bit(argv[1]));
    const auto create = reinterpret_cast<quillfen::CreateAudioOut>(module.resolve(quillfen::kCreateAudioOut));
    if (!create) {
        std::fprintf(stderr, "%s\n", qPrintable(module.errorString()));
        return 2;
    }
    const std::unique_ptr<quillfen::AudioOut> out(create());
    SF_INFO info{};
    SNDFILE* file = sf_open(argv[2], SFM_READ, &info);
    if (!file) {
        std::fprintf(stderr, "%s: %s\n", argv[2], sf_strerror(nullptr));
        return 2;
    }
    std::vector<short> samples(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_short(file, samples.data(), info.frames);
    sf_close(file);
    if (!out->hasDevice()) {
        std::fprintf(stderr, "no sound device\n");
        return 1;
    }
    const QByteArray pcm(reinterpret_cast<const char*>(samples.data()),
                         qsizetype(samples.size() * sizeof(short)));
    int status = 1;
    if (!out->start(pcm, info.samplerate, info.channels, [&] {
            status = 0;
            app.quit();
        }))
        return 1;
    QTimer::singleShot(60000, &app, &QCoreApplication::quit);
    app.exec();
    return status;
}
