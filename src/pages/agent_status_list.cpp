#include "pages/agent_status_list.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace plenvo::pages {
namespace {

// Each value is its presence byte, then its bytes: a string as its length and
// bytes, a number as its eight bytes.
class Packer {
  public:
    explicit Packer(std::string& out) : out_(out) {}

    // Seven bits a byte, the last byte's top bit clear.
    void size(std::size_t n) {
        for (; n >= 0x80; n >>= 7) out_ += static_cast<char>(0x80 | (n & 0x7F));
        out_ += static_cast<char>(n);
    }
    void text(const std::string& s) {
        size(s.size());
        out_ += s;
    }
    void text(const std::optional<std::string>& s) {
        if (present(s.has_value())) text(*s);
    }
    template <typename Number>
    void number(const std::optional<Number>& n) {
        if (!present(n.has_value())) return;
        const Number v = *n;
        out_.append(reinterpret_cast<const char*>(&v), sizeof v);
    }
    void time(const std::optional<platform::LocalTime>& t) {
        if (!present(t.has_value())) return;
        for (const int part : {t->year, t->month, t->day, t->hour, t->minute, t->second})
            size(static_cast<std::uint32_t>(part));
    }

  private:
    bool present(bool yes) {
        out_ += yes ? '\1' : '\0';
        return yes;
    }
    std::string& out_;
};

class Unpacker {
  public:
    Unpacker(std::string_view in, std::size_t at) : in_(in), at_(at) {}
    std::size_t at() const { return at_; }

    std::size_t size() {
        std::size_t n = 0;
        for (int shift = 0;; shift += 7) {
            unsigned char byte;
            take(&byte, 1);
            n |= static_cast<std::size_t>(byte & 0x7F) << shift;
            if (!(byte & 0x80) || shift > 56) return n;
        }
    }
    void text(std::string& s) {
        const std::size_t n = size();
        if (n > in_.size() - at_) throw std::logic_error("packed agent row cut short");
        s.assign(in_.substr(at_, n));
        at_ += n;
    }
    void text(std::optional<std::string>& s) {
        if (!present()) {
            s.reset();
            return;
        }
        if (!s) s.emplace();
        text(*s);
    }
    template <typename Number>
    void number(std::optional<Number>& n) {
        if (!present()) {
            n.reset();
            return;
        }
        Number v;
        take(&v, sizeof v);
        n = v;
    }
    void time(std::optional<platform::LocalTime>& t) {
        if (!present()) {
            t.reset();
            return;
        }
        platform::LocalTime v;
        for (int* part : {&v.year, &v.month, &v.day, &v.hour, &v.minute, &v.second})
            *part = static_cast<int>(static_cast<std::uint32_t>(size()));
        t = v;
    }

  private:
    bool present() {
        char flag;
        take(&flag, 1);
        return flag != '\0';
    }
    void take(void* to, std::size_t n) {
        if (n > in_.size() - at_) throw std::logic_error("packed agent row cut short");
        std::memcpy(to, in_.data() + at_, n);
        at_ += n;
    }
    const std::string_view in_;
    std::size_t at_;
};

// The fields in their packed order, for packing and unpacking alike.
template <typename Coder, typename Agent>
void codeFields(Coder& code, Agent& agent) {
    code.text(agent.host);
    code.text(agent.userId);
    code.text(agent.userName);
    code.text(agent.agentVersion);
    code.text(agent.destination);
    code.time(agent.lastReport);
    code.number(agent.daysSince);
    code.number(agent.achievementRate);
    code.text(agent.state);
}

}  // namespace

void AgentStatusList::add(const AgentStatus& agent) {
    row_.clear();
    Packer pack(row_);
    codeFields(pack, agent);
    pack.size(agent.codes.size());
    for (const CodeStatus& code : agent.codes) {
        pack.text(code.code);
        pack.text(code.title);
    }
    if (blocks_.empty() || blocks_.back().size() + row_.size() > kBlockSize) {
        blocks_.emplace_back().reserve(std::max(kBlockSize, row_.size()));
    }
    blocks_.back() += row_;
    ++count_;
}

void AgentStatusList::forEach(const std::function<void(const AgentStatus&)>& visit) const {
    AgentStatus agent;
    for (const std::string& block : blocks_) {
        for (std::size_t at = 0; at < block.size();) {
            Unpacker unpack(block, at);
            codeFields(unpack, agent);
            agent.codes.resize(unpack.size());
            for (CodeStatus& code : agent.codes) {
                unpack.text(code.code);
                unpack.text(code.title);
            }
            at = unpack.at();
            visit(agent);
        }
    }
}

void AgentStatusList::forEachBlock(const std::function<void(std::string_view)>& visit) const {
    for (const std::string& block : blocks_) visit(block);
}

}  // namespace plenvo::pages
