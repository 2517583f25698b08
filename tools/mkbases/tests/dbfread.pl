#!/usr/bin/perl
# Prints a dBASE table through Debian's XBase module, an independent reader: a line of field
# names, then one line per live record with the values separated by TABs (text decoded from
# cp1252, backslash, TAB, CR and LF escaped; NULL as \N).
use strict;
use warnings;
use XBase;
use Encode qw(decode encode);

my $file = shift or die "usage: dbfread.pl FILE.DBF\n";
my $table = XBase->new(name => $file) or die XBase->errstr;
binmode STDOUT;
print join("\t", $table->field_names), "\n";
for my $i (0 .. $table->last_record) {
    my ($deleted, @values) = $table->get_record($i);
    die $table->errstr unless defined $deleted;
    next if $deleted;
    my @out;
    for my $v (@values) {
        if (!defined $v) { push @out, '\\N'; next; }
        my $s = encode('UTF-8', decode('cp1252', "$v"));
        $s =~ s/ +$//;
        if ($s eq '') { push @out, '\\N'; next; }
        $s =~ s/\\/\\\\/g; $s =~ s/\t/\\t/g; $s =~ s/\r/\\r/g; $s =~ s/\n/\\n/g;
        push @out, $s;
    }
    print join("\t", @out), "\n";
}
$table->close;
