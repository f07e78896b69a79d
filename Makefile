# The two commands of the README: `make run` and `make test`; `make run-server` tries the
# department server (two windows on a PostgreSQL cluster of its own in ./server-data; FRESH=1
# starts it anew), `make screenshots` renews the pictures of the user's guide, `make package`
# builds the Debian package. Warnings are errors in every build made here.
BUILD   ?= build
ASAN    ?= build-asan
FUZZBLD ?= build-fuzz
DATA    ?= data
JOBS    ?= 2
FUZZ_SECONDS ?= 30
export TZ := Asia/Tokyo

# The distribution's flags (stack protector, _FORTIFY_SOURCE, relro, now), so that the build
# the tests run is the build the package ships. The reproducible-path flags are left out: they
# would name this checkout in every compile command and keep the shared compiler cache from
# serving another one.
BUILDFLAGS = DEB_BUILD_MAINT_OPTIONS="hardening=+all reproducible=-fixfilepath,-fixdebugpath" \
  dpkg-buildflags --get

.PHONY: deps build run run-server test screenshots package unit-asan fuzz bench clean

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORA_WERROR=ON \
	  -DCMAKE_CXX_FLAGS="$$($(BUILDFLAGS) CPPFLAGS) $$($(BUILDFLAGS) CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$($(BUILDFLAGS) LDFLAGS)" \
	  -DCMAKE_SHARED_LINKER_FLAGS="$$($(BUILDFLAGS) LDFLAGS)" \
	  -DCMAKE_MODULE_LINKER_FLAGS="$$($(BUILDFLAGS) LDFLAGS)"
	cmake --build $(BUILD) -j$(JOBS)

run: build
	mkdir -p $(DATA)
	cd $(DATA) && ../$(BUILD)/vora

run-server: build
	bash scripts/run-server.sh --build $(BUILD) $(if $(FRESH),--fresh)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)
	$(MAKE) unit-asan fuzz

# The guide's pictures, made by the program on the example registry (docs/screens/scripts).
screenshots: build
	bash scripts/screenshots.sh $(BUILD) docs/screens

# vora_<version>_amd64.deb in the build folder, without lintian errors or warnings.
package: build
	cd $(BUILD) && cpack -G DEB
	lintian --fail-on error,warning $(BUILD)/vora_*_amd64.deb

unit-asan: deps
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DVORA_SANITIZE=ON -DVORA_UI=OFF -DVORA_BENCH=OFF \
	  -DVORA_WERROR=ON
	cmake --build $(ASAN) -j$(JOBS) --target vora_tests vora_server_tests
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -R '^(unit|server)$$'

fuzz: deps
	cmake -S . -B $(FUZZBLD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DVORA_FUZZ=ON -DVORA_UI=OFF -DVORA_TESTS=OFF -DVORA_BENCH=OFF -DVORA_WERROR=ON
	cmake --build $(FUZZBLD) -j$(JOBS)
	@for target in $(FUZZBLD)/fuzz/*Fuzz; do \
	  name=$$(basename $$target); corpus=$(FUZZBLD)/corpus-$$name; mkdir -p $$corpus; \
	  echo "fuzzing $$name for $(FUZZ_SECONDS) s"; \
	  $$target -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 -print_final_stats=1 \
	    $$corpus fuzz/corpus/$$name || exit 1; \
	done

bench: build
	@for b in $(BUILD)/bench/*Bench; do $$b; done

clean:
	rm -rf $(BUILD) $(ASAN) $(FUZZBLD)
