# Knetix: one command sets up a fresh Debian 12 machine, builds and runs every test.
#   make test   install packages, build (plain and with sanitizers), run all tests,
#               the playback tests under ThreadSanitizer, and the fuzzers briefly
#   make bench  build and run the benchmarks, each reporting its budget
#   make run    build and start the program
#   make demo   build and run the batch demo (results in demo-out/)

JOBS ?= $(shell nproc)
BUILD ?= build
BUILD_SAN ?= build-san
BUILD_TSAN ?= build-tsan
BUILD_FUZZ ?= build-fuzz
FUZZ_SECONDS ?= 15

.PHONY: test deps build build-san test-plain test-san test-tsan test-fuzz bench run demo clean

test: deps test-plain test-san test-tsan test-fuzz

deps:
	bash scripts/install-deps

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

# The sanitized builds draw the skin artwork with the sanitized generator,
# many times slower: 2x (enough to test loading a larger scale) there, 1x
# alone under ThreadSanitizer, whose tests never scale.
build-san:
	cmake -S . -B $(BUILD_SAN) -DCMAKE_BUILD_TYPE=Debug -DKNETIX_SANITIZE=ON -DKNETIX_BENCH=OFF -DKNETIX_ART_FACTORS="1;2"
	cmake --build $(BUILD_SAN) -j $(JOBS)

test-plain: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-san: build-san
	ctest --test-dir $(BUILD_SAN) --output-on-failure -j $(JOBS)

# The threaded parts (playback, the thumbnail worker, the main dialog that
# drives playback, the engine's parallel loops) and the export cancel path
# under ThreadSanitizer; only their test programs. The image library's own
# OpenMP threads are not instrumented, so it runs single-threaded here; the
# engine's loops run on its own pool (KNETIX_WITH_TBB is off in this build).
test-tsan:
	cmake -S . -B $(BUILD_TSAN) -DCMAKE_BUILD_TYPE=Debug -DKNETIX_SANITIZE_THREAD=ON -DKNETIX_BENCH=OFF -DKNETIX_ART_FACTORS=1
	cmake --build $(BUILD_TSAN) -j $(JOBS) --target knetix_document_tests knetix_filmstrip_tests knetix_browser_model_tests knetix_maindlg_tests knetix_engine_tests
	OMP_NUM_THREADS=1 TSAN_OPTIONS=suppressions=$(CURDIR)/tests/tsan-qt.supp ctest --test-dir $(BUILD_TSAN) --output-on-failure -j $(JOBS) -R '^Playback|^views.Filmstrip|^app.MainDlg|^ThumbnailWorker|^ExportTest.Cancel|^ParallelTest|ThreadsDoNotChangeTheResult|FullSize.*Thread|WholeRenders.*Thread'

# Every fuzz target for FUZZ_SECONDS each, from seeds the program writes.
test-fuzz:
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKNETIX_FUZZ=ON -DKNETIX_BENCH=OFF
	cmake --build $(BUILD_FUZZ) -j $(JOBS) --target knetix_fuzz_seeds knetix_fuzz_project knetix_fuzz_batch knetix_fuzz_dib knetix_fuzz_image knetix_fuzz_thumbdb
	bash fuzz/run-fuzzers.sh $(BUILD_FUZZ) $(FUZZ_SECONDS)

bench: deps build
	@for b in $(BUILD)/bench/knetix_bench_*; do echo "== $$b"; $$b || exit 1; done

run: deps build
	$(BUILD)/app/knetix

demo: deps build
	bash app/demo/run-demo.sh $(BUILD)/app/knetix $(BUILD)/app/knetix-demo-picture demo-out

clean:
	rm -rf $(BUILD) $(BUILD_SAN) $(BUILD_TSAN) $(BUILD_FUZZ)
