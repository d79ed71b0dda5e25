// Prints the cost of storing a sample and the time to redraw eight signals
// of a million samples each into a 1600x900 image, for a view of the whole
// recording, a live 30 s view and a zoomed-in view of 2 s.

#include "plot/plot_data.h"
#include "plot/plot_renderer.h"
#include "plot/time_view.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <vector>

using namespace plot;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int signalCount = 8;
int samplesPerSignal = 1'000'000;
constexpr double period = 0.01; // 100 samples a second: 10,000 s of recording
constexpr int redraws = 60;

double microseconds(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

// This thread's CPU time: on a loaded machine wall time also counts the
// time other processes had the core.
double cpuMilliseconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

void measureRedraw(const char* what, const PlotData& data, TimeView view, QImage& image) {
    std::vector<double> ms;
    std::vector<double> cpu;
    QPainter painter(&image);
    for (int i = 0; i < redraws; ++i) {
        const auto start = Clock::now();
        const double cpuStart = cpuMilliseconds();
        const PlotFrame frame =
            PlotRenderer::layout(image.rect(), data, view, ScaleMode::PerSignal, painter.fontMetrics());
        PlotRenderer::paint(painter, frame, data, view.start() + view.span() / 2);
        ms.push_back(microseconds(Clock::now() - start) / 1000);
        cpu.push_back(cpuMilliseconds() - cpuStart);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("redraw %-28s wall median %6.2f ms, worst %6.2f ms; CPU median %6.2f ms, worst %6.2f ms "
                "(%d redraws, %dx%d)\n",
                what, ms[ms.size() / 2], ms.back(), cpu[cpu.size() / 2], cpu.back(), redraws, image.width(),
                image.height());
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc > 1)
        samplesPerSignal = std::max(1000, std::atoi(argv[1]));

    PlotData data;
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0, 1);
    std::vector<std::vector<double>> values(signalCount, std::vector<double>(samplesPerSignal));
    for (int s = 0; s < signalCount; ++s)
        for (int i = 0; i < samplesPerSignal; ++i)
            values[s][i] =
                (s + 1) * 100 * std::sin(i * period * (0.001 + 0.002 * s)) + noise(random) * (s + 1);

    std::vector<int> ids;
    for (int s = 0; s < signalCount; ++s)
        ids.push_back(data.add(QStringLiteral("Signal %1").arg(s + 1), QStringLiteral("unit")));
    const auto appendStart = Clock::now();
    const double appendCpuStart = cpuMilliseconds();
    for (int i = 0; i < samplesPerSignal; ++i)
        for (int s = 0; s < signalCount; ++s)
            data.append(ids[s], i * period, values[s][i]);
    const double appendUs = microseconds(Clock::now() - appendStart);
    const double appendCpuUs = (cpuMilliseconds() - appendCpuStart) * 1000;
    const double total = double(signalCount) * samplesPerSignal;
    std::printf("append: %.0f samples in %.1f ms wall; per sample %.1f ns wall, %.1f ns CPU\n", total,
                appendUs / 1000, appendUs * 1000 / total, appendCpuUs * 1000 / total);

    QImage image(1600, 900, QImage::Format_ARGB32_Premultiplied);
    TimeView view;
    double latest = 0;
    data.latestTime(&latest);
    view.setLiveEnd(latest);

    view.zoom(samplesPerSignal * period / view.span(), latest);
    std::fflush(stdout);
    measureRedraw("whole recording", data, view, image);
    image.save(QStringLiteral("bench_plot_whole.png"));

    TimeView live;
    live.setLiveEnd(latest);
    measureRedraw("live, last 30 s", data, live, image);

    TimeView zoomed;
    zoomed.setLiveEnd(latest);
    zoomed.zoom(2 / zoomed.span(), latest);
    measureRedraw("zoomed in, 2 s", data, zoomed, image);
    return 0;
}
