# Homebrew formula; scripts/release fills in the version, the source tarball's address and its
# checksum, and writes the result to dist/meterly.rb.
class Meterly < Formula
  desc "Token usage and cost of Claude Code and Codex from their local logs"
  homepage "@HOMEPAGE@"
  url "@URL@"
  sha256 "@SHA256@"
  license "MIT"

  depends_on "cmake" => :build
  depends_on "ninja" => :build

  def install
    system "cmake", "-S", ".", "-B", "build", "-G", "Ninja", "-DBUILD_TESTING=OFF", *std_cmake_args
    system "cmake", "--build", "build"
    # Installs the manual page and the bash, zsh and fish completions where Homebrew's shells
    # look for them.
    system "cmake", "--install", "build"
  end

  test do
    assert_equal "@VERSION@", shell_output("#{bin}/meterly --version").strip
    (testpath/".claude/projects/-tmp-demo/session.jsonl").write <<~JSONL
      {"type":"assistant","message":{"id":"msg_1","model":"claude-opus-4-1-20250805","usage":{"input_tokens":1000,"output_tokens":2000}},"requestId":"req_1","timestamp":"2025-03-07T18:22:01.000Z","sessionId":"s","cwd":"/tmp/demo"}
    JSONL
    report = shell_output("HOME=#{testpath} TZ=UTC #{bin}/meterly daily --json")
    assert_match '"period": "2025-03-07"', report
    assert_match '"input": 1000', report
    assert_match '"output": 2000', report
  end
end
