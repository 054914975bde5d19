// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

// Command spdx-validate reads each SPDX tag-value document named on its command line with the
// SPDX project's own Go library, as a scanner would: it must parse as SPDX 2.3, and every
// element that its relationships name must be in it. scripts/spdx-validate.sh builds and runs
// it against Debian's golang-github-spdx-tools-golang-dev.
package main

import (
	"fmt"
	"os"

	"github.com/spdx/tools-golang/convert"
	"github.com/spdx/tools-golang/spdx"
	v2_3 "github.com/spdx/tools-golang/spdx/v2/v2_3/tagvalue/reader"
	"github.com/spdx/tools-golang/spdxlib"
	"github.com/spdx/tools-golang/tagvalue/reader"
)

func validate(path string) (string, error) {
	file, err := os.Open(path)
	if err != nil {
		return "", err
	}
	defer file.Close()
	pairs, err := reader.ReadTagValues(file)
	if err != nil {
		return "", err
	}
	parsed, err := v2_3.ParseTagValues(pairs)
	if err != nil {
		return "", err
	}
	if parsed.SPDXVersion != "SPDX-2.3" {
		return "", fmt.Errorf("it says it is %q", parsed.SPDXVersion)
	}
	var document spdx.Document
	if err := convert.Document(parsed, &document); err != nil {
		return "", err
	}
	if err := spdxlib.ValidateDocument(&document); err != nil {
		return "", err
	}
	// Each element is named once: the library keeps the second of two alike and says nothing.
	seen := map[spdx.ElementID]bool{}
	named := func(id spdx.ElementID) error {
		if seen[id] {
			return fmt.Errorf("two elements are SPDXRef-%s", id)
		}
		seen[id] = true
		return nil
	}
	for _, f := range document.Files {
		if err := named(f.FileSPDXIdentifier); err != nil {
			return "", err
		}
	}
	files := len(document.Files)
	for _, p := range document.Packages {
		if err := named(p.PackageSPDXIdentifier); err != nil {
			return "", err
		}
		for _, f := range p.Files {
			if err := named(f.FileSPDXIdentifier); err != nil {
				return "", err
			}
		}
		files += len(p.Files)
	}
	return fmt.Sprintf("SPDX 2.3, %d packages, %d files, %d relationships",
		len(document.Packages), files, len(document.Relationships)), nil
}

func main() {
	failed := false
	for _, path := range os.Args[1:] {
		if summary, err := validate(path); err != nil {
			fmt.Fprintf(os.Stderr, "%s: not valid: %v\n", path, err)
			failed = true
		} else {
			fmt.Printf("%s: %s\n", path, summary)
		}
	}
	if failed || len(os.Args) < 2 {
		os.Exit(1)
	}
}
