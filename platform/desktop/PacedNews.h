#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <mutex>
#include <utility>

namespace kovi {

// What a job on a worker thread reports, gathered under a lock and taken in by the thread that
// owns this object about as often as the eye follows. A run over thumbnails reports a thousand
// files a second; handing each report over woke the window and repainted it every time.
// `News` starts empty when default-constructed; `show` gets what gathered since it last ran.
template <typename News>
class PacedNews {
public:
    explicit PacedNews(std::function<void(News)> show) : show_(std::move(show)) {
        timer_.setInterval(IntervalMilliseconds);
        QObject::connect(&timer_, &QTimer::timeout, [this] { showGathered(); });
    }

    // From any thread.
    template <typename Change>
    void change(Change&& change) {
        const std::lock_guard<std::mutex> held(lock_);
        std::forward<Change>(change)(news_);
    }

    // Forgets what an earlier job left and begins taking news in.
    void start() {
        {
            const std::lock_guard<std::mutex> held(lock_);
            news_ = News{};
        }
        timer_.start();
    }

    // Once the job has returned: shows what it told last.
    void finish() {
        timer_.stop();
        showGathered();
    }

private:
    static constexpr int IntervalMilliseconds = 40;

    void showGathered() {
        News news;
        {
            const std::lock_guard<std::mutex> held(lock_);
            news = std::exchange(news_, News{});
        }
        show_(std::move(news));
    }

    std::function<void(News)> show_;
    std::mutex lock_;
    News news_;
    QTimer timer_;
};

} // namespace kovi
