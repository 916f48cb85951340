#include "ui/shell/Focus.h"

#include <algorithm>

namespace morvane::shell {

std::vector<Stop> FocusOrder(const StopState& s)
{
    const std::pair<Stop, bool> all[] = {
        {Stop::Tree, true},        {Stop::Selector, s.selector}, {Stop::Input, s.input},
        {Stop::Output, s.output},  {Stop::Button1, s.button1},   {Stop::Button2, s.button2},
        {Stop::CheckBox, s.check}, {Stop::Splitter, true},       {Stop::Link, s.link},
        {Stop::Minimise, true},    {Stop::Maximise, true},       {Stop::Close, true},
    };
    std::vector<Stop> order;
    for (const auto& [stop, on] : all)
        if (on)
            order.push_back(stop);
    return order;
}

Stop NextStop(const std::vector<Stop>& order, Stop current, bool forward)
{
    if (order.empty())
        return Stop::None;
    const auto it = std::find(order.begin(), order.end(), current);
    if (it == order.end())
        return forward ? order.front() : order.back();
    const std::size_t i = static_cast<std::size_t>(it - order.begin());
    const std::size_t n = order.size();
    return order[forward ? (i + 1) % n : (i + n - 1) % n];
}

const char* StopName(Stop stop)
{
    static const char* const names[] = {"tree",     "selector", "input", "output",   "button1",  "button2", "check",
                                        "splitter", "link",     "minimise", "maximise", "close", "none"};
    return names[static_cast<int>(stop)];
}

Element ElementOf(Stop stop)
{
    switch (stop) {
    case Stop::Button1: return kButton1;
    case Stop::Button2: return kButton2;
    case Stop::CheckBox: return kCheckBox;
    case Stop::Link: return kLink;
    case Stop::Minimise: return kMinimise;
    case Stop::Maximise: return kMaximise;
    case Stop::Close: return kClose;
    default: return kNone;
    }
}

Element Activation(Stop stop, Key key)
{
    if (key == Key::Other)
        return kNone;
    return ElementOf(stop);
}

}  // namespace morvane::shell
