# The two commands of the README. Both install what they need first (Debian 12).
.PHONY: demo test deps release

CLI := build/release/src/cli/korvex-cli
DEMO_CARD := build/release/tests/data/card/sample_card.img

deps:
	scripts/install-deps.sh

release: deps
	cmake --preset release
	cmake --build --preset release

# The layer check, every test, then the core tests and the fuzzers again under AddressSanitizer and
# UBSan, then the threaded scan tests under ThreadSanitizer.
test: release
	python3 scripts/check_layers.py
	ctest --preset release
	cmake --preset asan-ubsan
	cmake --build --preset asan-ubsan
	ctest --preset asan-ubsan
	cmake --preset tsan
	cmake --build --preset tsan
	ctest --preset tsan

# The main job on the bundled sample card: its photos were deleted or lost when the card was
# formatted again; they are found by content and saved below ./demo-recovered.
demo: deps
	cmake --preset release
	cmake --build --preset release --target korvex-cli korvex_test_data
	$(CLI) info $(DEMO_CARD)
	$(CLI) recover $(DEMO_CARD) --out ./demo-recovered
