import flash.display.Sprite;
import flash.events.Event;
import flash.events.MouseEvent;

/** Click the dots in the order of their numbers and a picture appears. */
class ConnectDots extends Sprite {
	static var pictures:Array<{colour:Int, dots:Array<Array<Int>>}> = [
		{colour: 0xFFD23F, dots: [[275, 60], [310, 160], [415, 160], [330, 220], [365, 330], [275, 265], [185, 330], [220, 220], [135, 160], [240, 160]]},
		{colour: 0xFF8C42, dots: [[160, 330], [160, 180], [275, 80], [390, 180], [390, 330]]},
		{colour: 0x4AB3F4, dots: [[130, 200], [220, 130], [340, 150], [420, 200], [480, 140], [480, 260], [420, 200], [340, 250], [220, 270]]}
	];

	var picture = 0;
	var nextDot = 0;
	var lines = new Sprite();
	var dots:Array<Sprite> = [];
	var frame = 0;
	var done = 0;

	public function new() {
		super();
		Kit.sky(graphics, 0xFDF6E3, 0xF3E5C0);
		addChild(lines);
		start();
		addEventListener(Event.ENTER_FRAME, tick);
	}

	function start() {
		for (d in dots)
			removeChild(d);
		dots = [];
		nextDot = 0;
		lines.graphics.clear();
		var p = pictures[picture];
		for (i in 0...p.dots.length) {
			var d = new Sprite();
			d.graphics.beginFill(0x333355);
			d.graphics.drawCircle(0, 0, 9);
			d.graphics.endFill();
			var t = Kit.label(Std.string(i + 1), 16, 0x333355);
			t.x = 8;
			t.y = -26;
			d.addChild(t);
			d.x = p.dots[i][0];
			d.y = p.dots[i][1];
			d.buttonMode = true;
			d.mouseChildren = false;
			d.addEventListener(MouseEvent.CLICK, clickDot);
			// a generous invisible target for small fingers
			d.graphics.beginFill(0xFFFFFF, 0.01);
			d.graphics.drawCircle(0, 0, 22);
			d.graphics.endFill();
			addChild(d);
			dots.push(d);
		}
	}

	function clickDot(e:MouseEvent) {
		var i = dots.indexOf(cast e.currentTarget);
		if (i != nextDot || done > 0)
			return;
		var p = pictures[picture];
		var g = lines.graphics;
		g.lineStyle(5, 0x333355);
		if (i > 0) {
			g.moveTo(p.dots[i - 1][0], p.dots[i - 1][1]);
			g.lineTo(p.dots[i][0], p.dots[i][1]);
		}
		dots[i].scaleX = dots[i].scaleY = 1;
		nextDot++;
		if (nextDot == p.dots.length) {
			g.lineTo(p.dots[0][0], p.dots[0][1]);
			g.lineStyle();
			g.beginFill(p.colour);
			g.moveTo(p.dots[0][0], p.dots[0][1]);
			for (d in p.dots)
				g.lineTo(d[0], d[1]);
			g.endFill();
			for (d in p.dots)
				Kit.sparkle(this, d[0], d[1], p.colour, 5);
			done = 90;
		}
	}

	function tick(_) {
		frame++;
		if (nextDot < dots.length) {
			var s = 1.3 + Math.sin(frame / 4) * 0.3;
			dots[nextDot].scaleX = dots[nextDot].scaleY = s;
		}
		if (done > 0 && --done == 0) {
			picture = (picture + 1) % pictures.length;
			start();
		}
	}

	static function main() {
		Kit.start(new ConnectDots());
	}
}
