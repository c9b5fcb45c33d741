#!/usr/bin/perl
# The operator's manual as one HTML page, from its source docs/manual/manual.md:
#   scripts/manual-html.pl docs/manual/manual.md build/manual/manual.html
# The source is a small part of Markdown, enough for a manual: "# " the title, "## Heading {#name}"
# and "### Heading {#name}" sections (the name is the anchor F1 opens), paragraphs, "- " and
# "1. " lists, "| a | b |" tables with a "|---|" line under the head, "> " notes, and inline
# **bold**, `key or text` and [text](#name). The page opens with the list of its sections.
# The same page is read in the program's help window and in a browser; Qt's text browser
# knows a plain subset of HTML and CSS, so nothing fancier is written.
use strict;
use warnings;
use utf8;

@ARGV == 2 or die "usage: $0 SOURCE.md OUTPUT.html\n";
my ($source, $output) = @ARGV;
open(my $in, '<:encoding(UTF-8)', $source) or die "$source: $!\n";
my @lines = <$in>;
close $in;
chomp @lines;

sub escape {
    my ($t) = @_;
    $t =~ s/&/&amp;/g;
    $t =~ s/</&lt;/g;
    $t =~ s/>/&gt;/g;
    return $t;
}

sub inline {
    my ($t) = @_;
    my @parts = split /(`[^`]*`)/, $t;
    my $html = '';
    for my $part (@parts) {
        if ($part =~ /^`(.*)`$/) {
            $html .= '<code>' . escape($1) . '</code>';
            next;
        }
        my $p = escape($part);
        $p =~ s/\*\*(.+?)\*\*/<b>$1<\/b>/g;
        $p =~ s/\[([^\]]+)\]\(#([\w-]+)\)/<a href="#$2">$1<\/a>/g;
        $html .= $p;
    }
    return $html;
}

my $title = '';
my @toc;
my @body;
my %anchors;
my @links;
my $i = 0;
my $line_of = sub { return "$source:" . ($_[0] + 1) };

while ($i < @lines) {
    my $line = $lines[$i];
    if ($line =~ /^\s*$/) { $i++; next; }
    if ($line =~ /^# (.+)$/) {
        $title = $1;
        push @body, '<h1>' . inline($title) . '</h1>';
        $i++;
        next;
    }
    if ($line =~ /^(##|###) (.+?)\s*\{#([\w-]+)\}\s*$/) {
        my ($level, $text, $name) = (length($1), $2, $3);
        die $line_of->($i) . ": the anchor $name is used twice\n" if $anchors{$name}++;
        push @toc, [$level, $text, $name];
        push @body, "<h$level id=\"$name\"><a name=\"$name\"></a>" . inline($text) . "</h$level>";
        $i++;
        next;
    }
    die $line_of->($i) . ": a heading needs its anchor: ## Text {#name}\n" if $line =~ /^#/;
    if ($line =~ /^\|/) {
        my @rows;
        while ($i < @lines && $lines[$i] =~ /^\|/) { push @rows, $lines[$i]; $i++; }
        my @html = ('<table border="1" cellspacing="0" cellpadding="4">');
        for my $r (0 .. $#rows) {
            next if $rows[$r] =~ /^\|[\s:|-]+\|$/;
            my $row = $rows[$r];
            $row =~ s/^\|\s*//;
            $row =~ s/\s*\|\s*$//;
            my @cells = split /\s*\|\s*/, $row, -1;
            my $head = $r == 0 && @rows > 1 && $rows[1] =~ /^\|[\s:|-]+\|$/;
            my $tag = $head ? 'th' : 'td';
            push @html, '<tr>' . join('', map { "<$tag>" . inline($_) . "</$tag>" } @cells) . '</tr>';
        }
        push @html, '</table>';
        push @body, @html;
        next;
    }
    if ($line =~ /^(- |\d+\. )/) {
        my $ordered = $line =~ /^\d/;
        my @items;
        while ($i < @lines) {
            my $l = $lines[$i];
            my $item = $l =~ /^(?:- |\d+\. )(.*)$/ ? $1 : undef;
            if (defined $item && (($l =~ /^\d/) == $ordered)) { push @items, $item; }
            elsif ($l =~ /^\s{2,}(\S.*)$/ && @items) { $items[-1] .= " $1"; }
            else { last; }
            $i++;
        }
        my $tag = $ordered ? 'ol' : 'ul';
        push @body, "<$tag>", (map { '<li>' . inline($_) . '</li>' } @items), "</$tag>";
        next;
    }
    my $note = $line =~ /^> /;
    my @text;
    while ($i < @lines && $lines[$i] !~ /^\s*$/ && $lines[$i] !~ /^(#|\||- |\d+\. )/) {
        (my $t = $lines[$i]) =~ s/^> //;
        push @text, $t;
        $i++;
    }
    my $p = inline(join(' ', @text));
    push @body, $note ? "<p class=\"note\"><i>$p</i></p>" : "<p>$p</p>";
}

die "$source: no title (# ...)\n" if $title eq '';
for my $b (@body) {
    while ($b =~ /href="#([\w-]+)"/g) {
        die "$source: a link to #$1, a section that does not exist\n" unless $anchors{$1};
    }
}

my @contents = ('<h2 id="contents"><a name="contents"></a>Содержание</h2>', '<ul>');
for my $entry (@toc) {
    my ($level, $text, $name) = @$entry;
    my $indent = $level == 3 ? ' style="margin-left: 16px"' : '';
    push @contents, "<li$indent><a href=\"#$name\">" . inline($text) . '</a></li>';
}
push @contents, '</ul>';
splice @body, 1, 0, @contents;

(my $folder = $output) =~ s{/[^/]*$}{};
mkdir $folder if $folder ne $output && !-d $folder;
open(my $out, '>:encoding(UTF-8)', "$output.$$") or die "$output: $!\n";
print $out <<"HEAD";
<!DOCTYPE html>
<html lang="ru">
<head>
<meta charset="utf-8">
<title>${\ escape($title)}</title>
<style>
body { font-family: "Liberation Sans", Arial, sans-serif; font-size: 11pt; max-width: 52em; margin: 1em auto; padding: 0 1em; }
h1 { font-size: 18pt; }
h2 { font-size: 14pt; margin-top: 1.4em; border-bottom: 1px solid #999; }
h3 { font-size: 12pt; margin-top: 1.1em; }
table { border-collapse: collapse; margin: 0.5em 0; }
th { background-color: #e4e6ec; text-align: left; }
code { font-family: "Liberation Mono", monospace; background-color: #eef0f4; }
p.note { background-color: #fff6d6; padding: 4px; }
</style>
</head>
<body>
HEAD
print $out "$_\n" for @body;
print $out "</body>\n</html>\n";
close $out or die "$output: $!\n";
rename "$output.$$", $output or die "$output: $!\n";
